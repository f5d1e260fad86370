#pragma once
#include <time.h>
#include <cstdio>
#include <vector>
#include <algorithm>
namespace ostrale::prova {
inline long long oraNs() { timespec t; clock_gettime(CLOCK_MONOTONIC, &t); return t.tv_sec * 1000000000LL + t.tv_nsec; }
struct Tappe {
    static constexpr int n = 16;
    long long t[n] = {};
    std::vector<long long> d[n];
    void segna(int i) { t[i] = oraNs(); }
    void chiudi() { static const int o[] = {0,1,2,3,4,10,11,5,12,13,14,6,7,8,9}; long long prec = 0; for (int k = 0; k < 15; ++k) { if (!t[o[k]]) continue; if (prec) d[o[k]].push_back(t[o[k]] - prec); prec = t[o[k]]; } for (auto& x : t) x = 0; }
    ~Tappe() {
        FILE* f = std::fopen("/tmp/prof/tempi.txt", "a");
        if (!f) return;
        for (int i = 1; i < n; ++i) { if (d[i].empty()) continue; auto v = d[i]; std::sort(v.begin(), v.end());
            std::fprintf(f, "tappa %d: n=%zu p50=%lld ns p90=%lld\n", i, v.size(), v[v.size()/2], v[v.size()*9/10]); }
        std::fclose(f);
    }
};
inline Tappe& tappe() { static Tappe t; return t; }
}
