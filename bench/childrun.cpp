#include "childrun.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace bench {

namespace {

int requests = -1; // the benchmark writes requests here
int replies = -1;  // and reads the helper's replies here

struct Reply {
    int32_t ok = 0;
    double wallMs = 0;
    double cpuMs = 0;
    int64_t peakRssKb = 0;
};

bool writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, p, size);
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool readAll(int fd, void* data, size_t size) {
    char* p = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = read(fd, p, size);
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

bool writeString(int fd, const std::string& s) {
    const uint32_t size = uint32_t(s.size());
    return writeAll(fd, &size, sizeof size) && writeAll(fd, s.data(), s.size());
}

bool readString(int fd, std::string* s) {
    uint32_t size = 0;
    if (!readAll(fd, &size, sizeof size))
        return false;
    s->assign(size, '\0');
    return readAll(fd, s->data(), size);
}

double nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The helper: one request at a time (input path, error path, argument count, arguments), one
// reply each; ends when the benchmark closes its end.
[[noreturn]] void serve(int in, int out) {
    for (;;) {
        std::string input, errors, countText;
        if (!readString(in, &input) || !readString(in, &errors) || !readString(in, &countText))
            _exit(0);
        std::vector<std::string> args(size_t(std::atoi(countText.c_str())));
        for (std::string& a : args)
            if (!readString(in, &a))
                _exit(0);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        Reply reply;
        const double start = nowMs();
        const pid_t pid = args.empty() ? -1 : fork();
        if (pid == 0) {
            const int i = open(input.c_str(), O_RDONLY);
            const int o = open("/dev/null", O_WRONLY);
            const int e = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (i < 0 || o < 0 || e < 0 || dup2(i, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0)
                _exit(127);
            close(in);
            close(out);
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
            reply.wallMs = nowMs() - start;
            reply.cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                          double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
            reply.peakRssKb = usage.ru_maxrss; // kB on Linux
            reply.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
        if (!writeAll(out, &reply, sizeof reply))
            _exit(0);
    }
}

} // namespace

void StartChildRunner() {
    int toHelper[2], fromHelper[2];
    if (pipe(toHelper) != 0 || pipe(fromHelper) != 0)
        return;
    const pid_t pid = fork();
    if (pid < 0)
        return;
    if (pid == 0) {
        close(toHelper[1]);
        close(fromHelper[0]);
        serve(toHelper[0], fromHelper[1]);
    }
    close(toHelper[0]);
    close(fromHelper[1]);
    // Kept from every other process this one starts: a server started for a benchmark would hold
    // the helper's input open, and the helper would outlive the benchmark.
    fcntl(toHelper[1], F_SETFD, FD_CLOEXEC);
    fcntl(fromHelper[0], F_SETFD, FD_CLOEXEC);
    requests = toHelper[1];
    replies = fromHelper[0];
}

ChildRun RunChild(const std::vector<std::string>& argv, const std::string& inputPath, const std::string& errorPath) {
    ChildRun run;
    if (requests < 0)
        return run;
    bool sent = writeString(requests, inputPath) && writeString(requests, errorPath) &&
                writeString(requests, std::to_string(argv.size()));
    for (const std::string& a : argv)
        sent = sent && writeString(requests, a);
    Reply reply;
    if (!sent || !readAll(replies, &reply, sizeof reply))
        return run;
    run.ok = reply.ok != 0;
    run.wallMs = reply.wallMs;
    run.cpuMs = reply.cpuMs;
    run.peakRssKb = long(reply.peakRssKb);
    return run;
}

} // namespace bench
