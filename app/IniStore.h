#pragma once
// The per-user settings store: one INI text file of sections and keys whose values are text.
// Names match without regard to case; the file is rewritten whole through a temporary file
// and a rename, so a crash while saving leaves the previous file intact.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

#include "common/Errors.h"

namespace velk {

class EIniStoreError : public Exception {
public:
    using Exception::Exception;
};

class TIniStore {
public:
    // Reads `path` when it exists; an absent file is an empty store.
    explicit TIniStore(QString path);
    // A store for `path` holding what `text` (the file's bytes) says; the file is not read.
    TIniStore(QString path, const QByteArray& text);

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // Replaces the key's text (line breaks become blanks); the key moves to the end of its section.
    void WriteString(const QString& section, const QString& key, const QString& value);
    // Integers and Booleans as the store writes them; text that is no integer gives `def`.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);

    // Writes the whole store; raises EIniStoreError with the reason when it cannot.
    void Save() const;
    // The file's bytes as Save writes them.
    QByteArray Text() const;

    const QString& Path() const { return path_; }

private:
    // What the monitor does not write is written back as the bytes it was read from (the
    // line without its end), whatever their encoding.
    struct Entry {
        QString key;
        QString value;
        QByteArray line; // as read; empty once written
    };
    struct Section {
        QString name;
        QByteArray header; // the "[name]" line as read; empty for a new section
        std::vector<Entry> entries;
    };
    const Entry* Find(const QString& section, const QString& key) const;
    void ReadText(const QByteArray& text);

    QString path_;
    std::vector<Section> sections_;
};

// `ZURazirod.ini` in $XDG_CONFIG_HOME, else in ~/.config.
QString DefaultSettingsPath();

} // namespace velk
