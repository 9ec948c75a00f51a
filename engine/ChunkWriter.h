#pragma once

// Writes a file front to back in large chunks on a thread of its own, so
// the disk's work overlaps the caller's reading and converting of the next
// chunk; the caller hands over one chunk while the previous one is written
// (where no thread can be started, Submit writes the chunk itself).
//  - Each chunk reaches the page cache through a pipe (vmsplice, then
//    splice): a copy the kernel makes from its own mapping of the buffer,
//    which on some virtual machines costs far less than a plain write's
//    copy from user memory. Where splicing is not possible, write() is used.
//  - Writeback of each chunk starts at once and the writer waits for chunks
//    a few megabytes behind, so the final fsync finds little left and dirty
//    pages stay bounded whatever the file's size.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

class ChunkWriter {
public:
    explicit ChunkWriter(int fd);
    // Waits for the chunk being written, if any.
    ~ChunkWriter();
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;

    // Waits until the previous chunk is written, then starts writing this
    // one and returns; the bytes must stay as they are until the next
    // Submit or Finish returns. False, with errno set, once a write failed.
    bool Submit(const unsigned char* data, std::size_t length);
    // Waits until everything handed over is written. False, with errno
    // set, when a write failed.
    bool Finish();

private:
    void Run();
    bool WaitUntilIdle(std::unique_lock<std::mutex>& lock);
    bool Write(const unsigned char* data, std::size_t length);
    bool Splice(const unsigned char* data, std::size_t length);
    bool StartWriteback(std::size_t length);
    void ClosePipe();

    const int fd;
    int pipeRead = -1;
    int pipeWrite = -1;
    std::uint64_t written = 0;

    std::mutex mutex;
    std::condition_variable changed;
    const unsigned char* pending = nullptr;
    std::size_t pendingLength = 0;
    int failure = 0;  // errno of the first failed write
    bool stopping = false;
    std::thread thread;
};
