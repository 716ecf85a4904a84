#include "app/Shares.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

std::uint64_t MulDiv(std::uint64_t a, std::uint64_t b, std::uint64_t d) {
    // The 128-bit product in two halves, from four 32-bit products.
    const std::uint64_t mask = 0xFFFFFFFFu;
    const std::uint64_t ll = (a & mask) * (b & mask);
    const std::uint64_t lh = (a & mask) * (b >> 32);
    const std::uint64_t hl = (a >> 32) * (b & mask);
    const std::uint64_t hh = (a >> 32) * (b >> 32);
    const std::uint64_t mid = (ll >> 32) + (lh & mask) + (hl & mask);
    const std::uint64_t lo = (ll & mask) | (mid << 32);
    const std::uint64_t hi = hh + (lh >> 32) + (hl >> 32) + (mid >> 32);
    // Long division, one bit at a time; a remainder past 2^63 is carried.
    std::uint64_t q = 0;
    std::uint64_t r = 0;
    for (int bit = 127; bit >= 0; --bit) {
        const bool carry = (r >> 63) != 0;
        const std::uint64_t next = bit >= 64 ? (hi >> (bit - 64)) & 1u : (lo >> bit) & 1u;
        r = (r << 1) | next;
        q <<= 1;
        if (carry || r >= d) {
            r -= d;
            q |= 1u;
        }
    }
    return q;
}

void SplitShares(std::vector<PlannedFile>* filesIn, std::size_t head, int count) {
    std::vector<PlannedFile>& files = *filesIn;
    std::uint64_t total = 0;
    for (std::size_t j = head; j < files.size(); ++j) {
        total += static_cast<std::uint64_t>(files[j].stamp.size);
    }
    const auto n = static_cast<std::uint64_t>(count);
    const std::uint64_t rest = files.size() - head;
    std::uint64_t before = 0;
    for (std::size_t j = 0; j < files.size(); ++j) {
        if (j < head) {
            files[j].share = 1;
            continue;
        }
        const auto size = static_cast<std::uint64_t>(files[j].stamp.size);
        // The part where the file's middle, before + size / 2, lies: in halves of bytes.
        const std::uint64_t part =
            total > 0 ? MulDiv(2 * before + size, n, 2 * total) : MulDiv(j - head, n, rest);
        files[j].share = static_cast<int>(std::min(part, n - 1)) + 1;
        before += size;
    }
    for (std::size_t j = head; j < files.size(); ++j) {
        const std::size_t first = files[j].group;
        files[j].share = first < head ? 1 : files[first].share;
    }
}

std::vector<std::vector<std::size_t>> Chains(const std::vector<PlannedFile>& files,
                                             const std::vector<std::size_t>& own) {
    std::vector<std::vector<std::size_t>> after(own.size());
    std::unordered_map<std::size_t, std::size_t> last; // group -> position in own
    for (std::size_t k = 0; k < own.size(); ++k) {
        const auto [it, first] = last.emplace(files[own[k]].group, k);
        if (!first) {
            after[k].push_back(it->second);
            it->second = k;
        }
    }
    return after;
}
