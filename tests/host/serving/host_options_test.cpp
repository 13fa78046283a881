// The host's command line, in-process: the flags whose values are checked beyond a number.
#include "host/serving/host_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Kolm::Host {
namespace {

HostOptionsResult Parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "zun-clubs-host");
    return ParseHostOptions(static_cast<int>(arguments.size()), arguments.data());
}

TEST(HostOptions, AllowOriginIsRepeatableAndKeptAsBrowsersWriteOrigins) {
    const HostOptionsResult parsed = Parse({"--allow-origin", "http://localhost:4200", "--quiet",
                                            "--allow-origin", "HTTPS://Dev.Example.Test:443"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_EQ(parsed.options->allowedOrigins,
              (std::vector<std::string>{"http://localhost:4200", "https://dev.example.test"}));
    EXPECT_TRUE(Parse({}).options->allowedOrigins.empty());
}

TEST(HostOptions, AllowOriginRefusesWhatIsNotAnOrigin) {
    const std::pair<const char*, std::string> cases[] = {
        {"http://localhost:4200/",
         "invalid value for --allow-origin: 'http://localhost:4200/': an origin has no path, "
         "query or fragment: scheme://host[:port], for example http://localhost:4200"},
        {"localhost:4200",
         "invalid value for --allow-origin: 'localhost:4200': an origin is scheme://host[:port], "
         "for example http://localhost:4200"},
        {"null",
         "invalid value for --allow-origin: 'null': \"null\" is sent by sandboxed frames and "
         "files opened from disk, whichever page they hold, so it is never trusted"},
    };
    for (const auto& [value, message] : cases) {
        const HostOptionsResult parsed = Parse({"--allow-origin", value});
        EXPECT_FALSE(parsed.options) << value;
        EXPECT_EQ(parsed.error, message);
    }
    const HostOptionsResult missing = Parse({"--allow-origin"});
    EXPECT_FALSE(missing.options);
    EXPECT_EQ(missing.error, "--allow-origin needs a value");
}

}  // namespace
}  // namespace Kolm::Host
