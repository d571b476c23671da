#pragma once
// What every test program starts from: the test framework, the scripted host,
// a fresh database, the database helpers and the source tree's files.
#include "FakePlatform.h"
#include "SourceFiles.h"
#include "database/Db.h"

#include <QTest>

namespace marrowick::test {

// A scripted host and a fresh database that lives as long as it does.
struct DbSession { FakePlatform host; TestDatabase db; };

} // namespace marrowick::test

using namespace marrowick;
using namespace marrowick::test;
