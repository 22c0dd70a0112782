// Writes what its arguments say, in order, so that a test can have a child
// print any bytes on any platform:
//   o=HEX        the bytes to standard output
//   e=HEX        the bytes to standard error
//   r=N*HEX      the bytes N times to standard output
//   w=N*HEX      the bytes to standard output in N writes
//   s=MS         sleep
//   b=MS         keep a core busy, printing nothing
//   f=PATH       an empty file at PATH
//   x=N          exit with N at the end
//   args         every argument, one "[arg]" line each, in UTF-8
//   cwd          the current folder as a line
//   holds=N      "held" or "not held": whether handle or descriptor N is open
// Anything else is ignored, so it can stand in for a program whose own
// arguments come first (git -C <folder> ...).
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "portable.h"

namespace {

std::string Bytes(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

void Put(FILE* to, const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), to);
    std::fflush(to);
}

}  // namespace

int main(int argc, char** argv) {
    helper::BinaryOutput();
    int code = 0;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value = arg.size() > 2 ? arg.substr(2) : "";
        if (arg.rfind("o=", 0) == 0) {
            Put(stdout, Bytes(value));
        } else if (arg.rfind("e=", 0) == 0) {
            Put(stderr, Bytes(value));
        } else if (arg.rfind("r=", 0) == 0) {
            std::size_t star = value.find('*');
            std::string bytes = Bytes(value.substr(star + 1)), all;
            for (long n = std::stol(value.substr(0, star)); n > 0; --n) all += bytes;
            Put(stdout, all);
        } else if (arg.rfind("w=", 0) == 0) {
            std::size_t star = value.find('*');
            std::string bytes = Bytes(value.substr(star + 1));
            for (long n = std::stol(value.substr(0, star)); n > 0; --n) Put(stdout, bytes);
        } else if (arg.rfind("f=", 0) == 0) {
            helper::WriteFile(value, "");
        } else if (arg.rfind("s=", 0) == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stol(value)));
        } else if (arg.rfind("b=", 0) == 0) {
            auto end =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(std::stol(value));
            for (volatile unsigned spin = 0; std::chrono::steady_clock::now() < end;)
                spin = spin + 1;
        } else if (arg.rfind("x=", 0) == 0) {
            code = std::atoi(value.c_str());
        } else if (arg == "args") {
            auto args = helper::Utf8Args(argc, argv);
            for (std::size_t k = 1; k < args.size(); ++k) Put(stdout, "[" + args[k] + "]\n");
        } else if (arg.rfind("holds=", 0) == 0) {
            bool held = helper::Holds(std::stoull(arg.substr(6)));
            Put(stdout, held ? "held\n" : "not held\n");
        } else if (arg == "cwd") {
            Put(stdout, std::filesystem::current_path().string() + "\n");
        }
    }
    return code;
}
