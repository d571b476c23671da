#include "Command.h"

namespace marrowick::batch {

// Each command lives in its own file beside this one; this list is the help's order.
std::unique_ptr<Command> makeEvaluate();
std::unique_ptr<Command> makeReport();
std::unique_ptr<Command> makeDeck();
std::unique_ptr<Command> makeExplain();
std::unique_ptr<Command> makeHistory();
std::unique_ptr<Command> makeCompare();
std::unique_ptr<Command> makeSend();
std::unique_ptr<Command> makeFetch();
std::unique_ptr<Command> makeRoundtrip();

const std::vector<std::unique_ptr<Command>>& commands()
{
    static const std::vector<std::unique_ptr<Command>> list = [] {
        std::vector<std::unique_ptr<Command>> made;
        for (auto make : {makeEvaluate, makeReport, makeDeck, makeExplain, makeHistory, makeCompare, makeSend,
                          makeFetch, makeRoundtrip})
            made.push_back(make());
        return made;
    }();
    return list;
}

} // namespace marrowick::batch
