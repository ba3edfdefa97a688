#include "error_report.h"

#include "db_error.h"
#include "message_box.h"

QString errorText(const std::exception &error)
{
    if (const auto *dbError = dynamic_cast<const db::Error *>(&error))
        return dbError->text();
    return QString::fromUtf8(error.what());
}

void reportError(const std::exception &error)
{
    platform::messageBoxes().errorReport(platform::errorReportText(errorText(error)));
}
