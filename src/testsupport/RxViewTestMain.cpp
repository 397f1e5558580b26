// Runs the receive display and output window test classes in one QApplication
// (offscreen platform unless the environment says otherwise).
#include <QApplication>
#include <cstdlib>

int RunReceiveDisplayTests(int argc, char** argv);
int RunOutputWindowTests(int argc, char** argv);

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  int failed = RunReceiveDisplayTests(argc, argv);
  failed += RunOutputWindowTests(argc, argv);
  return failed == 0 ? 0 : 1;
}
