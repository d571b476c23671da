#include "MatchAttempts.h"

#include "clsAnalyzeResults.h"

namespace marrowick {

const std::array<MatchAttempt, 6>& matchAttempts()
{
    using V = const MatchValues&;
    static const std::array<MatchAttempt, 6> attempts{{
        {1, "found by its own names, mother's maiden name and birth date", false,
         [](V r, V) {
             return Lookup{r.first, r.last, r.momMaiden, r.dob};
         }},
        {2, "found by the first name up to its first blank", false,
         [](V r, V) {
             return Lookup{clsAnalyzeResults::FirstPart(r.first), r.last, r.momMaiden, r.dob};
         }},
        {3, "found by the mother's maiden name of the group's other record", true,
         [](V r, V o) {
             return Lookup{r.first, r.last, o.momMaiden, r.dob};
         }},
        {4, "found by the birth date of the group's other record", true,
         [](V r, V o) {
             return Lookup{r.first, r.last, r.momMaiden, o.dob};
         }},
        {5, "found by the mother's first name instead of her maiden name", false,
         [](V r, V) {
             return Lookup{r.first, r.last, r.momFirst, r.dob, true};
         }},
        {6, "found by the names without apostrophes", false,
         [](V r, V) {
             return Lookup{clsAnalyzeResults::NoQuote(r.first), clsAnalyzeResults::NoQuote(r.last), r.momMaiden, r.dob};
         }},
    }};
    return attempts;
}

QString attemptWords(const std::optional<int>& attempt)
{
    for (const MatchAttempt& a : matchAttempts())
        if (attempt == a.number) return QLatin1String(a.words);
    return QStringLiteral("not found by any of the six looks");
}

} // namespace marrowick
