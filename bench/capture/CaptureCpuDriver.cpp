// capture_cpu_driver: records from the device named on the command line for a
// number of seconds, delivering every buffer to an empty handler, and prints
// the bytes delivered. Its CPU time is what capture_cpu.py measures.
//
//   capture_cpu_driver <device description> <rate> <channels> <seconds>
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "capture/WaveInRecorder.h"
#include "tests/support/CaptureHandlers.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s <device description> <rate> <channels> <seconds>\n", argv[0]);
    return 2;
  }
  QCoreApplication app(argc, argv);
  const std::string wanted = argv[1];
  const int32_t rate = std::atoi(argv[2]);
  const auto channels = static_cast<int16_t>(std::atoi(argv[3]));
  const int seconds = std::atoi(argv[4]);

  WaveInRecorder recorder;
  int64_t delivered = 0;
  CaptureHandlers handlers;
  handlers.gotData = [&delivered](std::span<int16_t>, int32_t& lngLen) { delivered += lngLen; };
  recorder.Sink(&handlers);
  int32_t device = -1;
  for (int32_t i = 0; i < recorder.DeviceCount(); ++i) {
    if (recorder.DeviceName(i) == wanted) device = i;
  }
  if (device < 0 || !recorder.SelectDevice(device) || !recorder.StartRecord(rate, channels)) {
    std::fprintf(stderr, "cannot record from %s\n", wanted.c_str());
    return 1;
  }
  QTimer::singleShot(seconds * 1000, &app, [&] {
    recorder.StopRecord();
    app.quit();
  });
  app.exec();
  std::printf("delivered_bytes=%lld lost=%lld\n", static_cast<long long>(delivered),
              static_cast<long long>(recorder.LostInputCount()));
  return 0;
}
