#include "widgets/DeferredActions.h"

#include <QCoreApplication>
#include <QObject>
#include <gtest/gtest.h>

#include <string>

using basic::DeferredActions;

namespace {

void RunPostedEvents() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

TEST(DeferredActionsTest, ActionsWaitForTheLastStepAndRunInOrder) {
  QObject context;
  DeferredActions deferred(&context);
  std::string log;
  EXPECT_TRUE(deferred.RunOrDefer([&] { log += "a"; }));
  EXPECT_EQ(log, "a");
  {
    DeferredActions::Step outer(deferred);
    EXPECT_FALSE(deferred.RunOrDefer([&] { log += "b"; }));
    {
      DeferredActions::Step inner(deferred);
      deferred.RunOrDefer([&] { log += "c"; });
    }
    RunPostedEvents();  // the outer step is still under way
    EXPECT_EQ(log, "a");
    EXPECT_EQ(deferred.PendingCount(), 2u);
  }
  EXPECT_EQ(log, "a");  // not from inside the step's caller...
  RunPostedEvents();
  EXPECT_EQ(log, "abc");  // ...but from the event loop, in arrival order
}

TEST(DeferredActionsTest, AnActionThatStartsAStepKeepsTheRest) {
  QObject context;
  DeferredActions deferred(&context);
  std::string log;
  {
    DeferredActions::Step step(deferred);
    deferred.RunOrDefer([&] {
      log += "start(";
      DeferredActions::Step again(deferred);
      deferred.RunOrDefer([&] { log += "late"; });
      log += ")";
    });
    deferred.RunOrDefer([&] { log += "next;"; });
  }
  RunPostedEvents();
  EXPECT_EQ(log, "start()next;late");
}

TEST(DeferredActionsTest, NothingRunsAfterClose) {
  QObject context;
  DeferredActions deferred(&context);
  int ran = 0;
  {
    DeferredActions::Step step(deferred);
    deferred.RunOrDefer([&] { ++ran; });
    deferred.Close();
  }
  RunPostedEvents();
  EXPECT_FALSE(deferred.RunOrDefer([&] { ++ran; }));
  EXPECT_EQ(ran, 0);
}

}  // namespace
