#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication lApp(argc, argv);
  QApplication::setApplicationName("Corvane");
  QMainWindow lWindow;
  lWindow.setWindowTitle("Corvane");
  lWindow.resize(1024, 700);
  lWindow.show();
  return lApp.exec();
}
