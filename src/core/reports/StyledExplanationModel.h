#pragma once
#include "Explanation.h"

namespace marrowick {

// The explanation as the window and the printed page show it: the fields that
// differ from the main record bold on a tint, the test records' row names bold.
class StyledExplanationModel : public ExplanationModel {
    Q_OBJECT
public:
    using ExplanationModel::ExplanationModel;

protected:
    QVariant emphasis(int role, bool differs, bool heading) const override;
};

} // namespace marrowick
