#include "frmAnalysisReports.h"

namespace marrowick {

frmAnalysisReports::frmAnalysisReports() : Page(QSize(620, 460))
{
    setObjectName(QStringLiteral("frmAnalysisReports"));
    setWindowTitle(QStringLiteral("Analysis and Reports"));
}

} // namespace marrowick
