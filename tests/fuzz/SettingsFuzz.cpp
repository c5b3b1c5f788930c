// A settings file of any bytes through the store's reader. What the store then writes must
// read back to itself (a key or section lost or changed on the second start would be a
// setting lost), and the program's typed look-ups must take whatever the file holds.

#include <cstdint>

#include "app/IniStore.h"
#include "app/globalParameters.h"
#include "common/NumberFormat.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const QByteArray bytes(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    const velk::TIniStore store(QString(), bytes);
    const QByteArray written = store.Text();
    FUZZ_CHECK(velk::TIniStore(QString(), written).Text() == written);

    const QString main = QString::fromLatin1(velk::kSectionMain);
    store.ReadInteger(main, QStringLiteral("RefreshRate"), 10000);
    store.ReadBool(main, QStringLiteral("SendAnEmailOnAlarm"), false);
    velk::ParseReal(store.ReadString(QString::fromLatin1(velk::kSectionAlarm),
                                     QStringLiteral("alarmvacuummax"), QString()));
    return 0;
}
