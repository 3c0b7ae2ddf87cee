#include "app/ErrorReport.h"

#include "db/OdbcError.h"
#include "host/HostTypes.h"
#include "settings/FileError.h"

ErrorReport ErrorReport::from(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const FileError &e) {
        return {e.osError(), e.text()};
    } catch (const OdbcError &e) {
        return {e.statusNumber(), e.describe()};
    } catch (const HostError &e) {
        return {HostCallErrorNumber, QString::fromStdString(e.what())};
    } catch (const std::exception &e) {
        return {1, QString::fromStdString(e.what())};
    } catch (...) {
        return {1, QStringLiteral("Unknown failure")};
    }
}

QString ErrorReport::message() const
{
    return QStringLiteral("Error %1: %2").arg(number).arg(text);
}

QString ErrorReport::caption() const
{
    return QStringLiteral("Error %1").arg(number);
}
