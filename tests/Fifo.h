#pragma once
// A FIFO for tests of code that must refuse one without opening it. Code that opened it for
// reading after all would wait for a writer for ever, so a watchdog keeps opening and closing
// the writing end: such an open then returns, its reads end at once, and the test fails
// instead of hanging. The watchdog also notes whether it ever found a reader.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace kv::test {

class Fifo {
public:
    explicit Fifo(std::string path) : path_(std::move(path)) {
        made_ = ::mkfifo(path_.c_str(), 0600) == 0;
        watchdog_ = std::thread([this] {
            while (!stop_.load()) {
                // Without a reader this fails at once (ENXIO) instead of waiting.
                const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    opened_.store(true);
                    ::close(fd);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~Fifo() {
        stop_.store(true);
        watchdog_.join();
        ::unlink(path_.c_str());
    }
    Fifo(const Fifo&) = delete;
    Fifo& operator=(const Fifo&) = delete;

    const std::string& Path() const { return path_; }
    bool Made() const { return made_; }
    // Some process held the FIFO open for reading while the watchdog looked.
    bool WasOpened() const { return opened_.load(); }

private:
    std::string path_;
    bool made_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<bool> opened_{false};
    std::thread watchdog_;
};

}  // namespace kv::test
