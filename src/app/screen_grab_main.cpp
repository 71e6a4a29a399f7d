// tarnwick_screen_grab OUT.png [DELAY_MS]: waits, then saves the whole screen of the display it
// is started on. tools/screenshot.py runs it next to the program under Xvfb.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUT.png [DELAY_MS]\n", argv[0]);
    return 2;
  }
  if (argc >= 3) QThread::msleep(std::strtoul(argv[2], nullptr, 10));
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) {
    std::fprintf(stderr, "no screen\n");
    return 1;
  }
  const QPixmap shot = screen->grabWindow(0);
  if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "could not grab or save the screen\n");
    return 1;
  }
  return 0;
}
