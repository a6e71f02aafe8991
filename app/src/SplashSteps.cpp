#include "SplashSteps.h"

SplashSteps::Actions SplashSteps::Tick(int done, bool fatal) {
  Actions actions;
  if (ended_) return actions;
  // A fatal start ends the splash at the first tick after the worker has finished.
  if (workerStarted_ && done && fatal) {
    actions.fatal = true;
    actions.stopBlink = blink_ != 0 || counter_ == kHeld;
    blink_ = 0;
    ended_ = true;
    return actions;
  }
  if (advance_ == 1) ++counter_;
  switch (counter_) {
    case kStartWorker:
      if (!workerStarted_) {
        workerStarted_ = true;
        actions.startWorker = true;
      }
      break;
    case kCheckDone:
      advance_ = done ? 1 : 0;
      if (!done) actions.startBlink = true;
      counter_ = kHeld;
      break;
    case kHeld:
      if (advance_ == 0) {
        advance_ = done ? 1 : 0;
        if (done) {
          actions.stopBlink = true;
          blink_ = 0;
        }
      }
      break;
    case kEnd:
      actions.finish = true;
      ended_ = true;
      break;
    default:
      break;
  }
  return actions;
}

int SplashSteps::BarWidth(int counter, int frameWidth) {
  return static_cast<int>(static_cast<double>(counter) / kEnd * (frameWidth - 5));
}
