#include "widgets/DeferredActions.h"

#include <QTimer>
#include <utility>

namespace basic {

bool DeferredActions::RunOrDefer(std::function<void()> action) {
  if (m_Closed || !action) return false;
  if (Busy()) {
    m_Pending.push_back(std::move(action));
    return false;
  }
  action();
  return true;
}

void DeferredActions::Close() {
  m_Closed = true;
  m_Pending.clear();
}

void DeferredActions::Leave() {
  if (--m_Depth > 0 || m_Pending.empty() || m_Closed) return;
  // From the event loop, not from inside the step's caller: an action may
  // start a step of its own (a new run), which then keeps the rest.
  QTimer::singleShot(0, m_Context, [this, actions = std::exchange(m_Pending, {})]() mutable {
    for (auto& action : actions) RunOrDefer(std::move(action));
  });
}

}  // namespace basic
