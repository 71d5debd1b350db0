#include "cli/BatchRun.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tabulon-batch"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return batch::run(QCoreApplication::arguments().mid(1), out, err);
}
