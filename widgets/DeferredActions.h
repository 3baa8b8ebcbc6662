#pragma once
// Some steps let window events run in the middle (drawing, waiting) and must
// still not be interrupted by a handler that changes what they work on. A
// handler arriving during such a step is kept and run, in arrival order,
// from the event loop once the last step is over.
#include <functional>
#include <vector>

class QObject;

namespace basic {

class DeferredActions {
 public:
  // Kept actions run from the event loop on behalf of context.
  explicit DeferredActions(QObject* context) : m_Context(context) {}
  DeferredActions(const DeferredActions&) = delete;
  DeferredActions& operator=(const DeferredActions&) = delete;

  // Marks a step that must not be interrupted, for its lifetime.
  class Step {
   public:
    explicit Step(DeferredActions& owner) : m_Owner(owner) { ++m_Owner.m_Depth; }
    ~Step() { m_Owner.Leave(); }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

   private:
    DeferredActions& m_Owner;
  };

  bool Busy() const { return m_Depth > 0; }
  // Runs action now when no step is under way, else keeps it for later.
  // Returns true when it ran now.
  bool RunOrDefer(std::function<void()> action);
  // From now on nothing runs (the window has closed); kept actions are dropped.
  void Close();
  size_t PendingCount() const { return m_Pending.size(); }

 private:
  void Leave();

  QObject* m_Context;
  int m_Depth = 0;
  bool m_Closed = false;
  std::vector<std::function<void()>> m_Pending;
};

}  // namespace basic
