#include "ReaderWorld.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vm4417::test {

ReaderWorld::ReaderWorld() { std::filesystem::create_directory(portDir); }

readersim::ReaderSimulator& ReaderWorld::AddReader(int number, const std::string& ident) {
    readersim::Options options;
    options.linkDir = portDir;
    options.port = number;
    options.ident = ident;
    options.holdFramesUntilFirstRequest = false;
    options.seed = static_cast<std::uint64_t>(number);
    auto& reader = readers.emplace_back(std::make_unique<readersim::ReaderSimulator>(options));
    const auto started = reader->Start();
    EXPECT_TRUE(started.ok()) << started.error;
    return *reader;
}

}  // namespace vm4417::test
