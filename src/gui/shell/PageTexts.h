#pragma once
#include <QString>

namespace marrowick::PageTexts {

// Each page's text as its load handler assembles it; breaks are CR LF.
QString Welcome();
QString Step1();
QString Step2();
QString Step3();

} // namespace marrowick::PageTexts
