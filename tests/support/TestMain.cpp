// Tests of everything below the windows run without a display connection, as the headless agent does.

#include <QCoreApplication>

#include "TestMain.h"

int main(int argc, char** argv) {
    return runAllTests<QCoreApplication>(argc, argv);
}
