#include "app/IniStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>

#include "common/NumberFormat.h"
#include "common/WholeFile.h"

namespace velk {

namespace {

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// A value is one line of the file: line breaks inside it would split it, so they become blanks.
QString OneLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

// Other programs may keep their settings in the same file in another encoding: a line is
// read as UTF-8 when it is valid UTF-8, else as Latin-1, which takes any byte.
QString DecodeLine(const QByteArray& line) {
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8(line);
    return utf8.hasError() ? QString::fromLatin1(line) : text;
}

} // namespace

TIniStore::TIniStore(QString path) : path_(std::move(path)) {
    QFile file(path_);
    if (file.open(QIODevice::ReadOnly)) ReadText(file.readAll());
}

TIniStore::TIniStore(QString path, const QByteArray& text) : path_(std::move(path)) {
    ReadText(text);
}

void TIniStore::ReadText(const QByteArray& text) {
    Section* current = nullptr;
    for (QByteArray raw : text.split('\n')) {
        while (raw.endsWith('\r'))
            raw.chop(1);
        const QString line = DecodeLine(raw);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#')))
            continue;
        if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
            const QString name = trimmed.mid(1, trimmed.size() - 2).trimmed();
            current = nullptr;
            for (auto& s : sections_)
                if (SameName(s.name, name)) current = &s;
            if (!current) {
                sections_.push_back({name, raw, {}});
                current = &sections_.back();
            }
            continue;
        }
        const auto eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || !current) continue;
        const QString key = line.left(eq).trimmed();
        // Blanks before "=" name no key; kept, it would be written as a line read as none.
        if (key.isEmpty()) continue;
        const QString value = line.mid(eq + 1);
        bool replaced = false;
        for (auto& e : current->entries)
            if (SameName(e.key, key)) {
                e.value = value;
                e.line = raw;
                replaced = true;
            }
        if (!replaced) current->entries.push_back({key, value, raw});
    }
}

const TIniStore::Entry* TIniStore::Find(const QString& section, const QString& key) const {
    for (const auto& s : sections_) {
        if (!SameName(s.name, section)) continue;
        for (const auto& e : s.entries)
            if (SameName(e.key, key)) return &e;
    }
    return nullptr;
}

QString TIniStore::ReadString(const QString& section, const QString& key, const QString& def) const {
    const Entry* e = Find(section, key);
    return e ? e->value : def;
}

void TIniStore::WriteString(const QString& section, const QString& key, const QString& value) {
    Section* target = nullptr;
    for (auto& s : sections_)
        if (SameName(s.name, section)) target = &s;
    if (!target) {
        sections_.push_back({section, {}, {}});
        target = &sections_.back();
    }
    // A written key moves to the end of its section, so a store written key by key holds
    // its keys in the order they were written.
    std::erase_if(target->entries, [&](const Entry& e) { return SameName(e.key, key); });
    target->entries.push_back({key, OneLine(value), {}});
}

int TIniStore::ReadInteger(const QString& section, const QString& key, int def) const {
    return ParseInteger(ReadString(section, key, QString())).value_or(def);
}

bool TIniStore::ReadBool(const QString& section, const QString& key, bool def) const {
    const auto value = ParseInteger(ReadString(section, key, QString()));
    return value ? *value != 0 : def;
}

void TIniStore::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void TIniStore::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniStore::Save() const {
    const QFileInfo info(path_);
    if (!QDir().mkpath(info.absolutePath()))
        throw EIniStoreError(QStringLiteral("Cannot create the folder %1").arg(info.absolutePath()));
    if (const auto failure = WriteWholeFile(path_, Text()))
        throw EIniStoreError(QStringLiteral("Cannot write the settings file %1: %2").arg(path_, *failure));
}

QByteArray TIniStore::Text() const {
    QByteArray text;
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        if (i > 0) text += '\n';
        const Section& s = sections_[i];
        text += (s.header.isEmpty() ? '[' + s.name.toUtf8() + ']' : s.header) + '\n';
        for (const auto& e : s.entries)
            text += (e.line.isEmpty() ? e.key.toUtf8() + '=' + e.value.toUtf8() : e.line) + '\n';
    }
    return text;
}

QString DefaultSettingsPath() {
    QString dir = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (dir.isEmpty() || !QDir::isAbsolutePath(dir)) dir = QDir::homePath() + QStringLiteral("/.config");
    return dir + QStringLiteral("/ZURazirod.ini");
}

} // namespace velk
