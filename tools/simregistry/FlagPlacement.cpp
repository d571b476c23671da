#include "FlagPlacement.h"

#include <QRegularExpression>

namespace marrowick::sim {

std::optional<FlagPlacement> FlagPlacement::parse(const QString& text, QString* problem)
{
    static const QRegularExpression form(QStringLiteral(
        R"(^(OBX)\[([A-Za-z0-9_.-]+)\]-(\d{1,2})=([A-Za-z0-9]+)$|^(PID|PD1)-(\d{1,2})=([A-Za-z0-9]+)$)"));
    const QRegularExpressionMatch m = form.match(text);
    auto refuse = [&](const QString& why) {
        if (problem) *problem = why;
        return std::nullopt;
    };
    if (!m.hasMatch())
        return refuse(QStringLiteral("%1 is not OBX[CODE]-FIELD=VALUE, PID-FIELD=VALUE or PD1-FIELD=VALUE").arg(text));
    FlagPlacement p;
    const bool obx = !m.captured(1).isEmpty();
    p.segment = obx ? m.captured(1) : m.captured(5);
    p.code = obx ? m.captured(2) : QString();
    p.field = (obx ? m.captured(3) : m.captured(6)).toInt();
    p.value = obx ? m.captured(4) : m.captured(7);
    // The fields the answer fills already are not free for the flag.
    const bool free = p.segment == QLatin1String("OBX")   ? p.field >= 4 && p.field <= 19
                      : p.segment == QLatin1String("PID") ? p.field >= 9 && p.field <= 39
                                                          : p.field >= 1 && p.field <= 21;
    if (!free) return refuse(QStringLiteral("%1-%2 cannot hold the flag").arg(p.segment).arg(p.field));
    return p;
}

} // namespace marrowick::sim
