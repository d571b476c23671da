#pragma once
#include "shell/Page.h"

namespace marrowick {

class frmAnalysisReports : public Page {
    Q_OBJECT
public:
    frmAnalysisReports();
};

} // namespace marrowick
