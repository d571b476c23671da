#pragma once
#include <QString>

namespace marrowick {

class LoadedRows;

// Reads a registry's results file, checks every record and loads it into
// IIS_LOADED_CHILD_ALL, all or nothing.
class clsProcessResultsFile {
public:
    // Stores every record, or refuses the file and stores none: FileRefused
    // (Results), told whole. A fault of the database is thrown (DatabaseFault):
    // it is no fault of the file.
    // Each stored row is also filed in rows, when given, for the matching.
    void ReadResults(const QString& strFile, LoadedRows* rows = nullptr);

    // The text converts to a number whose whole part (rounded down) fits 32 bits.
    static bool ValidNumber(const QString& strClientID);

    static constexpr int kFieldCount = 15;

    // What the last accepted file was, as it was read: its size and the
    // SHA-256 of its bytes, for the saved run.
    struct LoadedFile {
        qint64 size = 0;
        QString sha256;
    };
    const LoadedFile& Loaded() const { return m_loaded; }

private:
    LoadedFile m_loaded;
};

} // namespace marrowick
