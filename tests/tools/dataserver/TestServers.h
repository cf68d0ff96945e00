// SPDX-License-Identifier: MIT
#pragma once

// Test helpers shared by the HTTPS tests: a temporary folder, a certificate authority made with
// the openssl command, and the data server or the fault server as a child process on 127.0.0.1.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace testservers {

inline std::string dataServerPath() { return QUARRIN_BINARY_DIR "/tools/dataserver/quarrin-dataserver"; }
inline std::string faultServerPath() { return QUARRIN_BINARY_DIR "/tests/tools/dataserver/quarrin-faultserver"; }

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "quarrin-net-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()))
            m_path = buffer.data();
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

inline std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A test authority and a server certificate it signed for 127.0.0.1 and localhost, plus a second
// authority's certificate for the same names, which clients trusting only the first reject.
struct Certificates {
    std::string caFile;
    std::string certFile;
    std::string keyFile;
    std::string untrustedCertFile;
    std::string untrustedKeyFile;
    std::string wrongNameCertFile; // signed by the trusted authority, but for another host name
    std::string wrongNameKeyFile;
    bool ok = false;

    static Certificates make(const std::string& dir)
    {
        Certificates c;
        auto run = [](const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; };
        std::string ext = dir + "/san.ext";
        writeFile(ext,
            "subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
            "extendedKeyUsage=serverAuth\n");
        auto authority = [&](const std::string& name) {
            return run(
                "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -sha256 -days 2 -subj '/CN=Quarrin Test "
                + name + "'" + " -keyout " + dir + "/" + name + ".key -out " + dir + "/" + name + ".pem");
        };
        auto server = [&](const std::string& ca, const std::string& name) {
            return run("openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -sha256 -subj '/CN=127.0.0.1' -keyout "
                       + dir + "/" + name + ".key -out " + dir + "/" + name + ".csr")
                && run("openssl x509 -req -sha256 -days 2 -in " + dir + "/" + name + ".csr -CA " + dir + "/" + ca + ".pem -CAkey "
                    + dir + "/" + ca + ".key -CAcreateserial -extfile " + ext + " -out " + dir + "/" + name + ".pem");
        };
        c.ok = authority("ca") && authority("otherca") && server("ca", "server") && server("otherca", "stranger");
        writeFile(ext, "subjectAltName=DNS:elsewhere.example\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
        c.ok = c.ok && server("ca", "wrongname");
        c.wrongNameCertFile = dir + "/wrongname.pem";
        c.wrongNameKeyFile = dir + "/wrongname.key";
        c.caFile = dir + "/ca.pem";
        c.certFile = dir + "/server.pem";
        c.keyFile = dir + "/server.key";
        c.untrustedCertFile = dir + "/stranger.pem";
        c.untrustedKeyFile = dir + "/stranger.key";
        return c;
    }
};

// A child process that prints "listening on https://HOST:PORT/..." first on standard output.
class ServerProcess {
public:
    ServerProcess() = default;
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;
    ~ServerProcess() { stop(); }

    bool start(const std::vector<std::string>& arguments, const std::string& stderrPath, double timeoutSeconds = 10)
    {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        std::vector<char*> argv;
        for (const auto& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        int rc = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeFds[1]);
        if (rc != 0) {
            close(pipeFds[0]);
            m_pid = -1;
            return false;
        }
        m_stdout = pipeFds[0];
        std::string line;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
        while (line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd p { m_stdout, POLLIN, 0 };
            if (poll(&p, 1, 100) <= 0)
                continue;
            char buffer[256];
            ssize_t n = read(m_stdout, buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<std::size_t>(n));
        }
        auto colon = line.rfind(':');
        if (colon == std::string::npos)
            return false;
        m_port = std::atoi(line.c_str() + colon + 1);
        return m_port > 0;
    }

    // SIGTERM, then the exit status (or -1 when it had to be killed).
    int stop(double graceSeconds = 5)
    {
        if (m_pid <= 0)
            return m_status;
        kill(m_pid, SIGTERM);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(graceSeconds);
        int status = 0;
        while (true) {
            pid_t r = waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
                break;
            }
            if (std::chrono::steady_clock::now() > deadline) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                m_status = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_pid = -1;
        if (m_stdout >= 0)
            close(m_stdout);
        m_stdout = -1;
        return m_status;
    }

    int port() const { return m_port; }
    pid_t pid() const { return m_pid; }
    bool isRunning() const { return m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == 0; }
    std::string url(const std::string& path) const { return "https://127.0.0.1:" + std::to_string(m_port) + path; }

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    int m_port = 0;
    int m_status = -1;
};

// Sets an environment variable for the scope, restoring the old value afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_old)
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

} // namespace testservers
