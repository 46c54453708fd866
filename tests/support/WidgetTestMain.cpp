// Tests of the windows and the status item, on the offscreen platform.

#include <QApplication>

#include "TestMain.h"

int main(int argc, char** argv) {
    return runAllTests<QApplication>(argc, argv);
}
