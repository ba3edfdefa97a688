// Makes any allocation that would take the process's address space more
// than `headroom` bytes past what it holds now fail, for as long as the
// object lives: a test then shows that a large input is refused without
// being taken into memory, where it would otherwise throw std::bad_alloc.
#pragma once

#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(rlim_t headroom)
    {
        getrlimit(RLIMIT_AS, &m_saved);
        rlim_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;   // the first number: all mapped pages
        rlimit limit = m_saved;
        limit.rlim_cur = pages * rlim_t(sysconf(_SC_PAGESIZE)) + headroom;
        m_active = pages > 0 && limit.rlim_cur <= m_saved.rlim_max && setrlimit(RLIMIT_AS, &limit) == 0;
    }
    ~AddressSpaceLimit() { setrlimit(RLIMIT_AS, &m_saved); }
    AddressSpaceLimit(const AddressSpaceLimit &) = delete;
    AddressSpaceLimit &operator=(const AddressSpaceLimit &) = delete;

    bool active() const { return m_active; }

private:
    rlimit m_saved {};
    bool m_active = false;
};
