// Fed to the size-rule check as stub-linked code: every rule must be
// reported on the line after its comment, and nothing in comments or
// strings ("std::map<int, int> m; throw 1;") may count.
#include <map>
#include <sstream>
#include <random>
#include <mutex>
#include <string>
#include <cstdio>

/* std::set<int> in a block comment counts for nothing */
const char* kText = "printf(\"%d\", 1); std::to_string(2); dynamic_cast<int*>(p)";

void Probe(const std::string& s, std::vector<int>& v, const void* p)
{
    std::map<int, int> tree;
    std::string a = std::to_string(7);
    std::ostringstream out;
    std::random_device seed;
    std::thread worker;
    auto t = std::chrono::steady_clock::now();
    char buffer[8];
    snprintf(buffer, sizeof buffer, "%d", 1);
    double d = strtod(s.c_str(), nullptr);
    int i = std::stoi(s);
    int first = v.at(0);
    throw std::runtime_error("no");
    try {
    } catch (...) {
    }
    auto* q = dynamic_cast<const Probe*>(p);
}
