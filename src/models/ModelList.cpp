#include "ModelList.h"

#include "core/QtText.h"

namespace gpibconfig {

QStringList modelList()
{
    return {QStringLiteral("7311"),  QStringLiteral("7314A"), QStringLiteral("7314B"),
            QStringLiteral("7317"),  QStringLiteral("7321"),  QStringLiteral("7322"),
            QStringLiteral("7325"),  QStringLiteral("7325A"), QStringLiteral("7328"),
            QStringLiteral("7331"),  QStringLiteral("7334"),  QStringLiteral("7334A"),
            QStringLiteral("7337B"), QStringLiteral("7340A"), QStringLiteral("7352A"),
            QStringLiteral("7355"),  QStringLiteral("7357"),  QStringLiteral("7360"),
            QStringLiteral("7362"),  QStringLiteral("7370A"), QStringLiteral("7370B"),
            QStringLiteral("7374A"), QStringLiteral("7374B"), QStringLiteral("7376"),
            QStringLiteral("7379"),  QStringLiteral("7385"),  QStringLiteral("7385A")};
}

std::optional<std::int16_t> modelCodeOf(const QString& entry) { return textToInt16(entry); }

bool needsPowerCycle(int modelCode)
{
    return modelCode == 7314 || modelCode == 7370 || modelCode == 7374 || modelCode == 7376;
}

} // namespace gpibconfig
