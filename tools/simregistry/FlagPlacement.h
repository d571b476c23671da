#pragma once
#include <QString>
#include <optional>

namespace marrowick::sim {

// Where the simulator's answers carry the potential-duplicate flag. No
// standard field holds one, so a registry's own profile picks it, and the
// client is told with --flag-field in the same words:
//   OBX[CODE]-F=V  an OBX after the PID with OBX-3 CODE; field F holds V when
//                  the client is flagged, N when it is not
//   PID-F=V        PID field F (9 to 39) holds V when flagged, nothing when not
//   PD1-F=V        a PD1 after the PID, written for a flagged client only
struct FlagPlacement {
    QString segment = QStringLiteral("OBX");
    QString code = QStringLiteral("PDFLAG");
    int field = 5;
    QString value = QStringLiteral("Y");

    // nullopt (with the cause) for a text of none of those forms.
    static std::optional<FlagPlacement> parse(const QString& text, QString* problem = nullptr);
};

} // namespace marrowick::sim
