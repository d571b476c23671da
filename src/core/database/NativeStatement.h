#pragma once
#include <QByteArrayView>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace marrowick {

// A statement run through SQLite's own interface on cnEval's connection, for
// the loops over thousands of rows where wrapping every value in a QVariant
// costs more than the database's work. Faults throw DatabaseFault, as run() does.
class NativeStatement {
public:
    explicit NativeStatement(const char* sql);
    ~NativeStatement();
    // cnEval's own SQLite connection; throws DbError when it is not open.
    static sqlite3* connection();
    NativeStatement(const NativeStatement&) = delete;
    NativeStatement& operator=(const NativeStatement&) = delete;

    // Positions count from 1. The bytes are not copied: they must stay as they
    // are until the statement has stepped and been reset.
    void bindUnchanged(int position, QByteArrayView text);
    void bindText(int position, const QString& text);
    void bindInt(int position, qint64 value);
    void bindNull(int position);

    // True while a row is ready; false when the statement is done, after
    // which it is reset for the next values.
    bool step();
    // Runs a statement that returns no rows, then resets it.
    void exec();

    bool isNull(int column) const;
    // Whether the column holds an integer, not text or a real that reads as one.
    bool isInteger(int column) const;
    // Whether the column holds text, not a blob or a number.
    bool isText(int column) const;
    // The column's text; valid until the next step.
    QByteArrayView text(int column) const;
    QString string(int column) const;
    qint64 integer(int column) const;

private:
    [[noreturn]] void fail() const;

    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace marrowick
