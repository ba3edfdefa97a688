// Database::write: lays a described database out as Jet pages.
//
// Page plan: 0 header, 1 global usage map, 2 the catalog's (MSysObjects)
// TDEF, then one TDEF page per user table, then data and LVAL pages as rows
// are encoded (table by table, or mixed: see Layout), and last the usage-map
// pages and TDEF continuation pages.
#include "jetdb.h"

#include "jet_definition.h"
#include "jet_layout.h"
#include "jet_pages.h"
#include "jet_rows.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace jetdb {

using namespace layout;
using pages::Geometry;

void Database::write(const std::string &path, const Layout &layout) const
{
    const Geometry g = Geometry::of(m_format);
    const bool jet4 = m_format == Format::Jet4;

    std::string dir = ".";
    if (const auto slash = path.rfind('/'); slash != std::string::npos)
        dir = slash == 0 ? "/" : path.substr(0, slash);
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        throw Error("cannot create a file in " + dir + ": " + std::strerror(errno));
    ::close(fd);

    try {
        pages::PageFile file(temp, g.pageSize);
        for (int i = 0; i < 3; ++i)
            file.allocate();  // header, global map, catalog TDEF

        std::vector<TableImage> images;
        images.push_back(catalogImage());
        for (const auto &t : m_tables) {
            images.push_back(imageOf(*t, m_format));
            images.back().tdefPage = file.allocate();
        }
        // Text sizes in the catalog follow the format's character width.
        for (ColDesc &c : images[0].cols)
            if (c.code == cText)
                c.size = jet4 ? 510 : 255;
        for (TableImage &img : images) {
            img.fixedLength = layOut(img.cols);
            img.varCount = 0;
            for (const ColDesc &c : img.cols)
                img.varCount += c.fixed ? 0 : 1;
        }

        // Catalog rows: the three containers, the catalog itself, the user tables.
        const Date created = Date::fromCivil(2020, 1, 1);
        std::vector<Row> catalogRows;
        auto catalogRow = [&](std::int64_t id, std::int64_t parent, const std::string &name, int type, std::int64_t flags) {
            Row r(images[0].cols.size(), Null{});
            r[0] = id;
            r[1] = parent;
            r[2] = name;
            r[3] = std::int64_t(type);
            r[4] = created;
            r[5] = created;
            r[7] = flags;
            catalogRows.push_back(std::move(r));
        };
        const std::int64_t system = std::int32_t(0x80000000u);
        catalogRow(0x0F000001, 0x0F000000, "Tables", 3, system);
        catalogRow(0x0F000002, 0x0F000000, "Databases", 3, system);
        catalogRow(0x0F000003, 0x0F000000, "Relationships", 3, system);
        catalogRow(2, 0x0F000001, "MSysObjects", 1, system);
        for (std::size_t i = 1; i < images.size(); ++i)
            catalogRow(images[i].tdefPage, 0x0F000001, images[i].name, 1, 0);
        images[0].rows = &catalogRows;

        // Rows: the catalog's first, then the user tables' one table after
        // another, or mixed in small batches as a file grows by many small
        // insertions (each table's rows keep their order either way).
        std::vector<std::unique_ptr<RowEncoder>> encoders;
        std::vector<std::unique_ptr<pages::RowSink>> sinks;
        for (const TableImage &img : images) {
            encoders.push_back(std::make_unique<RowEncoder>(g, img, m_codePage, layout, file));
            sinks.push_back(std::make_unique<pages::RowSink>(g, file, img.tdefPage));
        }
        std::uint64_t state = layout.seed;
        auto random = [&state] {   // splitmix64: the same file from the same seed everywhere
            std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            return z ^ (z >> 31);
        };
        auto insert = [&](std::size_t ti, const Row &r) {
            const pages::Bytes row = encoders[ti]->encode(r);
            // A row deleted before this one came: its bytes stay, its slot is flagged.
            if (ti > 0 && layout.deletedPerThousand > 0
                && random() % 1000 < std::uint64_t(layout.deletedPerThousand))
                sinks[ti]->add(row.data(), row.size(), true);
            sinks[ti]->add(row);
        };
        for (const Row &r : catalogRows)
            insert(0, r);
        std::vector<std::size_t> done(images.size(), 0);
        std::size_t left = 0;
        for (std::size_t ti = 1; ti < images.size(); ++ti)
            left += images[ti].rows->size();
        while (left > 0) {
            // The next table in order, or one picked in proportion to the
            // rows it has left; then a batch of 1 to 16 of its rows.
            std::size_t ti = 1;
            std::uint64_t pick = layout.interleaved ? random() % left : 0;
            while (done[ti] == images[ti].rows->size() || pick >= images[ti].rows->size() - done[ti]) {
                pick -= done[ti] == images[ti].rows->size() ? 0 : images[ti].rows->size() - done[ti];
                ++ti;
            }
            const std::size_t batch = layout.interleaved ? 1 + random() % 16 : images[ti].rows->size();
            for (std::size_t k = 0; k < batch && done[ti] < images[ti].rows->size(); ++k, --left)
                insert(ti, (*images[ti].rows)[done[ti]++]);
        }
        std::vector<std::vector<std::uint32_t>> dataPages(images.size());
        std::vector<std::vector<std::vector<std::uint32_t>>> lvalPages(images.size());
        for (std::size_t ti = 0; ti < images.size(); ++ti) {
            sinks[ti]->flush();
            encoders[ti]->flush();
            dataPages[ti] = sinks[ti]->pages();
            for (std::size_t c = 0; c < images[ti].cols.size(); ++c)
                if (images[ti].cols[c].isLong())
                    lvalPages[ti].push_back(encoders[ti]->lvalPages(c));
        }

        // Usage maps, then the definitions that point at them.
        MapRows maps(g, file);
        std::vector<TableMaps> tableMaps(images.size());
        const std::vector<std::uint32_t> none;
        for (std::size_t ti = 0; ti < images.size(); ++ti) {
            TableMaps &m = tableMaps[ti];
            m.owned = maps.add(pages::usageMap(g, file, dataPages[ti]));
            m.free = maps.add(pages::usageMap(g, file, none));
            for (const auto &lv : lvalPages[ti]) {
                const std::uint32_t owned = maps.add(pages::usageMap(g, file, lv));
                m.longColumns.emplace_back(owned, maps.add(pages::usageMap(g, file, none)));
            }
        }
        maps.flush();
        for (std::size_t ti = 0; ti < images.size(); ++ti)
            writeTdef(g, file, images[ti], tableMaps[ti], m_codePage);

        file.write(1, globalMapPage(g, file.pageCount()));
        file.write(0, headerPage(g, m_codePage, m_password, m_created));
        file.close();

        // mkstemp made the file private; give it the usual permissions.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(temp.c_str(), 0666 & ~mask);
        if (std::rename(temp.c_str(), path.c_str()) != 0)
            throw Error("cannot write " + path + ": " + std::strerror(errno));
    } catch (...) {
        std::remove(temp.c_str());
        throw;
    }
}

} // namespace jetdb
