#include "engine/ChunkWriter.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/PosixFile.h"

namespace {

// How far writeback may lag behind the data handed over.
constexpr std::uint64_t WritebackDistance = 8u << 20;
constexpr int PipeSize = 1 << 20;

}  // namespace

ChunkWriter::ChunkWriter(int fd) : fd(fd) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) == 0) {
        pipeRead = ends[0];
        pipeWrite = ends[1];
        // A bigger pipe takes a chunk in fewer rounds; the default works too.
        fcntl(pipeWrite, F_SETPIPE_SZ, PipeSize);
    }
    try {
        thread = std::thread(&ChunkWriter::Run, this);
    } catch (const std::system_error&) {
        // No thread to be had: each chunk is then written in Submit itself.
    }
}

ChunkWriter::~ChunkWriter() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    if (thread.joinable()) thread.join();
    ClosePipe();
}

void ChunkWriter::ClosePipe() {
    if (pipeRead >= 0) close(pipeRead);
    if (pipeWrite >= 0) close(pipeWrite);
    pipeRead = pipeWrite = -1;
}

bool ChunkWriter::Submit(const unsigned char* data, std::size_t length) {
    std::unique_lock lock(mutex);
    if (!WaitUntilIdle(lock)) return false;
    if (!thread.joinable()) {
        if (Write(data, length)) return true;
        failure = errno;
        return false;
    }
    pending = data;
    pendingLength = length;
    changed.notify_all();
    return true;
}

bool ChunkWriter::Finish() {
    std::unique_lock lock(mutex);
    return WaitUntilIdle(lock);
}

bool ChunkWriter::WaitUntilIdle(std::unique_lock<std::mutex>& lock) {
    changed.wait(lock, [this] { return pending == nullptr; });
    if (failure != 0) {
        errno = failure;
        return false;
    }
    return true;
}

void ChunkWriter::Run() {
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return pending != nullptr || stopping; });
        if (pending == nullptr) return;
        const unsigned char* data = pending;
        const std::size_t length = pendingLength;
        lock.unlock();
        // After a failure nothing more is written: the file is given up.
        const int error = failure == 0 && !Write(data, length) ? errno : 0;
        lock.lock();
        if (error != 0 && failure == 0) failure = error;
        pending = nullptr;
        changed.notify_all();
    }
}

bool ChunkWriter::Write(const unsigned char* data, std::size_t length) {
    bool done = pipeWrite >= 0 ? Splice(data, length) : WriteAll(fd, data, length);
    return done && StartWriteback(length);
}

// Moves the chunk into the pipe by reference and from there into the file,
// draining the pipe before returning, so the buffer may then be reused.
bool ChunkWriter::Splice(const unsigned char* data, std::size_t length) {
    while (length > 0) {
        iovec piece{const_cast<unsigned char*>(data), length};
        ssize_t queued = vmsplice(pipeWrite, &piece, 1, 0);
        if (queued < 0) {
            if (errno == EINTR) continue;
            // Splicing is not possible here (a sandbox, an old kernel): the
            // pipe is empty, so the rest simply goes with write().
            ClosePipe();
            return WriteAll(fd, data, length);
        }
        for (ssize_t moved = 0; moved < queued;) {
            ssize_t out = splice(pipeRead, nullptr, fd, nullptr, static_cast<std::size_t>(queued - moved), 0);
            if (out < 0 && errno == EINTR) continue;
            if (out < 0 && errno == EINVAL) {
                // A file system that takes no spliced data: the rest goes
                // with write(), what the pipe still holds again from the buffer.
                ClosePipe();
                return WriteAll(fd, data + moved, length - static_cast<std::size_t>(moved));
            }
            if (out <= 0) {
                if (out == 0) errno = EIO;
                return false;
            }
            moved += out;
        }
        data += queued;
        length -= static_cast<std::size_t>(queued);
    }
    return true;
}

// A write error that writeback meets is reported once per open file, to
// whichever call waits for it first: when that is the wait here, fsync
// would no longer see it, so it counts here. File systems that cannot
// sync ranges just write back later.
bool ChunkWriter::StartWriteback(std::size_t length) {
    const std::uint64_t offset = written;
    written += length;
    auto synced = [](int result) { return result == 0 || errno == EINVAL || errno == ESPIPE || errno == ENOSYS; };
    if (!synced(sync_file_range(fd, static_cast<off64_t>(offset), static_cast<off64_t>(length),
                                SYNC_FILE_RANGE_WRITE)))
        return false;
    if (offset < WritebackDistance) return true;
    return synced(sync_file_range(fd, static_cast<off64_t>(offset - WritebackDistance), static_cast<off64_t>(length),
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER));
}
