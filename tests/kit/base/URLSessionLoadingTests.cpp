// SPDX-License-Identifier: MIT
// libcurl is mapped into the process by its first transfer, not at start.
#include "kit/base/RunLoop.h"
#include "kit/base/URLSession.h"

#include <arpa/inet.h>
#include <fstream>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool libcurlIsMapped()
{
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        if (line.find("/libcurl") != std::string::npos)
            return true;
    }
    return false;
}

// A loopback port nothing listens on.
int closedPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace

TEST(URLSessionLoading, LibcurlComesWithTheFirstTransferAndThenWorks)
{
    // Sessions and requests alone load nothing.
    auto session = kit::URLSession::create();
    kit::URLRequest request;
    request.url = "http://127.0.0.1:" + std::to_string(closedPort()) + "/getdata.pl";
    request.timeoutInterval = 5;
    EXPECT_FALSE(libcurlIsMapped());

    std::optional<kit::URLError> error;
    bool done = false;
    auto task = session->dataTaskWithRequest(request, [&](const kit::Data&, const auto&, const auto& failure) {
        error = failure;
        done = true;
    });
    task->resume();
    ASSERT_TRUE(kit::RunLoop::main().runUntil([&] { return done; }, 10));
    EXPECT_TRUE(libcurlIsMapped());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, kit::URLError::Code::CannotConnectToHost) << error->message;
}
