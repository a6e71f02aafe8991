// bin/KV310: the program. SIGTERM and SIGINT end it as a confirmed quit does, without the question.
#include "KELOApp.h"

#include <csignal>
#include <pthread.h>
#include <thread>

int main(int argc, char** argv) {
  // The signals are taken by one thread, so the GUI thread ends the program in its own order.
  sigset_t quitSignals;
  sigemptyset(&quitSignals);
  sigaddset(&quitSignals, SIGTERM);
  sigaddset(&quitSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &quitSignals, nullptr);
  std::thread([quitSignals] {
    int signal = 0;
    if (sigwait(&quitSignals, &signal) == 0) CKELOApp::RequestQuit();
  }).detach();

  CKELOApp app;
  return AfxWinMain(argc, argv);
}
