// The window's line database: the address and serial counter kept in the
// window's settings (never a password: libpq reads it from PGPASSFILE or
// ~/.pgpass), checked at 烧写 before the adapter opens, the counter the
// write's serial numbers come from, and the record of every chip the write
// reached. The database is opened afresh for each 烧写, so an address just
// changed or a server that came back is used.
#pragma once

#include <QGroupBox>
#include <QList>
#include <QString>

#include <memory>

class LineDb;
class QLabel;
class QLineEdit;
class SerialSource;
struct JobSpec;
struct OperationReport;

class WindowLineDb {
public:
    // The settings' keys, beside the window's own.
    static constexpr const char* kUrlKey = "line_db/url";
    static constexpr const char* kCounterKey = "line_db/serial_counter";

    WindowLineDb();
    ~WindowLineDb();

    static QString Url();
    static QString Counter();
    // Stores the address and the counter; an address the line database
    // refuses (a password in it, not one of its forms) is not stored: the
    // reason, else empty.
    static QString Store(const QString& strUrl, const QString& strCounter);

    // Before the adapter opens: with an address (pJob's, unless the settings
    // name one; the counter likewise) the database is opened and its schema
    // checked, and when bSerials and a counter is named, the counter must
    // have a number left. False with the reason; true without an address.
    bool Begin(const JobSpec* pJob, bool bSerials, QString& strError);
    // The counter the operation's serial numbers come from, or null.
    SerialSource* Serials() const;
    // The operation ended: every report of a chip it reached is recorded
    // (kept in the spool when the database is away). False with the reason
    // when a record is lost. An operation that did not Begin records nothing.
    bool Finish(const QList<OperationReport>& reports, QString& strError);
    // The operation was refused before it started: nothing to record.
    void Cancel() { m_bActive = false; }

private:
    std::unique_ptr<LineDb> m_pDb;
    bool m_bActive = false;
    bool m_bSerials = false;
};

// The line database's fields in the interface configuration dialog; each is
// stored when it is edited, and a refusal is shown below them.
class LineDbField : public QGroupBox {
    Q_OBJECT

public:
    explicit LineDbField(QWidget* pParent = nullptr);

public slots:
    void Store();

private:
    QLineEdit* m_pUrl = nullptr;
    QLineEdit* m_pCounter = nullptr;
    QLabel* m_pNote = nullptr;
};
