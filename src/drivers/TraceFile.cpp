// SPDX-License-Identifier: GPL-3.0-or-later
#include "TraceFile.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace gpibconfig {

std::optional<TracingDriver::Sink>
traceFileSink(const QString& path, const std::function<void(const QString&)>& standardError,
              QString* error)
{
    if (path == QLatin1String("-")) {
        return [standardError](const BusCall& call) {
            standardError(QString::fromStdString(call.traceLine()) + QLatin1Char('\n'));
        };
    }
    // stdio rather than a QFile: the sink runs on the bus thread, and stdio locks each call.
    std::shared_ptr<std::FILE> file(std::fopen(QFile::encodeName(path).constData(), "w"),
                                    [](std::FILE* f) {
                                        if (f)
                                            std::fclose(f);
                                    });
    if (!file) {
        if (error)
            *error = QStringLiteral("cannot write the trace to %1: %2")
                         .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    return [file](const BusCall& call) {
        const std::string line = call.traceLine() + '\n';
        std::fputs(line.c_str(), file.get());
        std::fflush(file.get());
    };
}

} // namespace gpibconfig
