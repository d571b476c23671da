#include "OutputFile.h"

#include "FileRefused.h"

#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace marrowick {

namespace {

// Writes all of bytes to an open descriptor; the error number, or 0.
int writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : ENOSPC;
        done += n;
    }
    return 0;
}

int writeDirectly(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = writeAll(fd, bytes);
    return ::close(fd) != 0 && error == 0 ? errno : error;
}

// Through a temporary file in the same folder, renamed over the target only
// once every byte is on the disk.
int writeReplacing(const QByteArray& path, const QByteArray& bytes, mode_t mode)
{
    QByteArray temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    int error = ::fchmod(fd, mode) != 0 ? errno : writeAll(fd, bytes);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.constData(), path.constData()) != 0) error = errno;
    if (error != 0) ::unlink(temporary.constData());
    return error;
}

} // namespace

QString causeOfError(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("The disk is full.");
    case EACCES:
    case EPERM:
        return QStringLiteral("Permission denied.");
    case EROFS:
        return QStringLiteral("The disk is read-only.");
    case ENOENT:
        return QStringLiteral("The folder does not exist.");
    case EPIPE:
        return QStringLiteral("The reader has gone.");
    default:
        break;
    }
    QString text = QString::fromLocal8Bit(std::strerror(error));
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    return text + QLatin1Char('.');
}

void writeOutputFile(const QString& path, const QByteArray& bytes)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat target {};
    int error = 0;
    if (::stat(native.constData(), &target) != 0) {
        if (errno != ENOENT) throw FileRefused(FileRefused::Role::Output, causeOfError(errno));
        const mode_t mask = ::umask(0);
        ::umask(mask);
        error = writeReplacing(native, bytes, 0666 & ~mask);
    } else if (S_ISREG(target.st_mode)) {
        // The file a link names is replaced, not the link, as an editor saving through it would.
        char* real = ::realpath(native.constData(), nullptr);
        const QByteArray file = real ? QByteArray(real) : native;
        std::free(real);
        // A file that may not be written is not replaced either, though its folder may be written.
        error = ::access(file.constData(), W_OK) != 0 ? errno : writeReplacing(file, bytes, target.st_mode & 07777);
    } else if (S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode)) {
        error = writeDirectly(native, bytes);
    } else {
        throw FileRefused(FileRefused::Role::Output, QStringLiteral("It is not a file, a character device or a pipe."));
    }
    if (error != 0) throw FileRefused(FileRefused::Role::Output, causeOfError(error));
}

void writeStandardOutput(const QByteArray& bytes)
{
    errno = 0;
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    if (std::fflush(stdout) == 0 && written) return;
    const int error = errno != 0 ? errno : EIO;
    std::clearerr(stdout);
    throw FileRefused(FileRefused::Role::Output, causeOfError(error));
}

void writeOutputOrRefuse(const QString& path, const QByteArray& bytes, const QString& failed)
{
    try {
        if (path.isEmpty())
            writeStandardOutput(bytes);
        else
            writeOutputFile(path, bytes);
    } catch (const FileRefused& refused) {
        throw refused.toldAs(QStringLiteral("Error"), failed + QStringLiteral(": "));
    }
}

} // namespace marrowick
