// The splash screen's step machine, driven by the ticks of its 23 ms timer: the bar fills for 280
// ticks, holds at 281 with "Loading firmware..." blinking while the start-up worker is busy, then
// runs the last ticks and ends at 300. Pure, so the timing is tested tick by tick.
#pragma once

#include <cstdint>

class SplashSteps {
 public:
  static constexpr int kStartWorker = 50;
  static constexpr int kCheckDone = 280;
  static constexpr int kHeld = 281;
  static constexpr int kEnd = 300;
  static constexpr unsigned kTickMs = 23;
  static constexpr unsigned kBlinkMs = 400;

  // What one tick asks of the window.
  struct Actions {
    bool startWorker = false;
    bool startBlink = false;  // timer 2
    bool stopBlink = false;
    bool finish = false;      // stop timer 1 and end with IDOK
    bool fatal = false;       // the worker met a fatal start: end with a result of its own
  };

  // One tick of timer 1 with the worker's done flag and its fatal mark.
  Actions Tick(int done, bool fatal = false);
  // Timer 2.
  void ToggleBlink() { blink_ ^= 1; }
  // Escape is honoured only before the worker starts.
  bool MayCancel() const { return counter_ < kStartWorker; }
  bool WorkerStarted() const { return workerStarted_; }

  int Counter() const { return counter_; }
  bool Advancing() const { return advance_ == 1; }
  bool Blinking() const { return blink_ != 0; }

  // The bar's width inside a frame of the given width: trunc(counter / 300 × (frame width − 5)).
  static int BarWidth(int counter, int frameWidth);

 private:
  int counter_ = 0;
  uint8_t advance_ = 1;
  int blink_ = 0;
  bool workerStarted_ = false;
  bool ended_ = false;
};
