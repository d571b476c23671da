#pragma once
// What every test program starts from: the test framework, the scripted host,
// a fresh database, the database helpers and the source tree's files; and a
// base for test objects whose every test function needs a session of its own.
#include "FakePlatform.h"
#include "SourceFiles.h"
#include "database/Db.h"

#include <QTest>
#include <memory>

namespace marrowick::test {

// A scripted host and a fresh database that lives as long as it does.
struct DbSession { FakePlatform host; TestDatabase db; };

// A test object whose every test function has a session of its own, as newSession() makes it.
class SessionTest : public QObject {
    Q_OBJECT
protected:
    virtual std::shared_ptr<DbSession> newSession() { return std::make_shared<DbSession>(); }
    std::shared_ptr<DbSession> s;
protected slots:
    void init() { s = newSession(); }
    void cleanup() { s.reset(); }
};

} // namespace marrowick::test

using namespace marrowick;
using namespace marrowick::test;
