// The database open: the input is the database file. The data module
// connects and opens its five data sets as OpenBD does (each runs its query
// and binds its fields); then every field of every record is shown as text
// and read as a number, memos included, since they are read from the file
// only then. A damaged file may fail with a db::Error; anything else that
// leaves the engine (another exception, a crash, a hang, memory beyond the
// limit) is a fault.
#include "DM_Unit.h"
#include "dataset.h"
#include "db_error.h"
#include "field.h"
#include "fuzz_support.h"

#include <QCoreApplication>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const fuzz::ScratchFile file(QStringLiteral("stock.mdb"));
    static TDM dm;
    file.write(data, size);
    try {
        dm.OpenBD(file.path());
        for (db::DataSet *set : {dm.dtset_Sverla, dm.dtset_Frezy, dm.dtset_Derj, dm.dtset_Plast, dm.dtset_Dolgi}) {
            const int rows = set->recordCount();
            for (int row = 0; row < rows; ++row) {
                const db::DataSet::ActiveRow active(set, row);
                for (const db::Field *field : set->fields()) {
                    (void)field->displayText();
                    (void)field->asFloat();
                    (void)field->asInteger();
                }
            }
        }
    } catch (const db::Error &) {
    }
    dm.CloseBD();
    return 0;
}
