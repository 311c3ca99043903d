#pragma once

#include "config/Commands.h"
#include "config/CoreEvents.h"
#include "config/ErrorCodes.h"
#include "config/RouteVerdict.h"
#include "platform/Connection.h"
#include "platform/Recordset.h"
#include "publish/PublisherConfig.h"
#include "routing/AliasBook.h"
#include "routing/RoutedPage.h"

#include <QHash>
#include <QString>
#include <functional>
#include <memory>

// The system database Ombrixsys.mdb: its one connection, the StartUp settings,
// and the recordsets that the window's grids show.
class adoQuorlan {
public:
    // Rows of the connection tables in use, and as many as the sockets were
    // last loaded for.
    int gOutputCount = 0;
    int gTelstraCount = 0;
    int gOutputsLoaded = 0;
    int gTelstraLoaded = 0;

    // A line for the log of the carriers' or the outputs' side (LogPane::Telstra
    // or LogPane::Outputs): the logs sit above this module, so whoever builds
    // it says where the line goes.
    using LogLine = std::function<void(LogPane pane, const QString& line)>;

    // `workDir` is read at each opening: start-up may change the folder.
    adoQuorlan(const QString& workDir, CoreEvents& events, LogLine logLine);
    // The warning report reads its texts from this database, so it is built
    // after it and handed over here, before the database is opened.
    void ReportWarningsTo(ErrorCodes& warnings) { warnings_ = &warnings; }

    platform::Connection gSysConnection;
    std::shared_ptr<platform::Recordset> gRsStartUp;
    std::shared_ptr<platform::Recordset> rsErrorCode;
    std::shared_ptr<platform::Recordset> rsErrorCodes;
    std::shared_ptr<platform::Recordset> rsTelstra;
    std::shared_ptr<platform::Recordset> rsOutputs;
    std::shared_ptr<platform::Recordset> rsPublishers;
    std::shared_ptr<platform::Recordset> rsWatches;
    std::shared_ptr<platform::Recordset> rsAliases;

    int OpenSysDatabase();
    int CloseSysDatabase();

    QString GetStartUpKey(const QString& key, const QString& defaultValue);
    QString SetStartUpKey(const QString& key, const QString& value);

    void OpenStartUp(int lockType);
    void OpenErrorCode(int errorNumber);
    void OpenErrorCodes(int lockType);
    void OpenTelstra(int lockType);
    void OpenOutputs(int lockType);
    void OpenPublishers(int lockType);
    // The rows of the Publishers table, in Description order.
    QList<publish::PublisherRow> PublisherRows();
    void OpenWatches(int lockType);
    // The names of addresses that routes and the operator's views use: the
    // rows of the Aliases table as last loaded.
    const routing::AliasBook& Aliases() const { return aliases_; }
    void OpenAliases(int lockType);
    // Reads the Aliases table into Aliases(); a row that cannot be used is
    // left out with warning 115; a table that cannot be read gives 315.
    void LoadAliases();
    // The rows of the Aliases table as stored (column name to text), and
    // writing ROWS in their place in one transaction, then showing the grid
    // anew. Both raise platform::Error.
    QList<QHash<QString, QString>> AliasTableRows();
    void ReplaceAliases(const QList<QHash<QString, QString>>& rows);
    // What the routes of the Outputs and Publishers grids, as they are shown
    // now (an edit not yet committed too), do with `page`: row by row.
    QList<config::RouteVerdict> TestRoutes(const routing::RoutedPage& page) const;
    // The rows of the Watches table, in Description order: column name to text.
    QList<QHash<QString, QString>> WatchRows();

    // The one editor of the operator's tables: Edit reopens TABLE for writing
    // and shows it in editing colours; Commit writes the edits, reopens it
    // read-only and shows it so. Commit is false when TABLE was not open for
    // editing or did not save and reopen (the warning says why); REFUSAL then
    // holds why a row was refused before anything was written. Neither
    // reloads the connections the table feeds: that is the caller's.
    void EditTable(config::EditedTable table);
    bool CommitTable(config::EditedTable table, QString* refusal = nullptr);

    void EditStartUp() { EditTable(config::EditedTable::StartUp); }
    void CommitStartUp() { CommitTable(config::EditedTable::StartUp); }
    void EditOutputs() { EditTable(config::EditedTable::Outputs); }
    bool CommitOutputs() { return CommitTable(config::EditedTable::Outputs); }
    void EditTelstra() { EditTable(config::EditedTable::Telstra); }
    bool CommitTelstra() { return CommitTable(config::EditedTable::Telstra); }
    void EditPublishers() { EditTable(config::EditedTable::Publishers); }
    bool CommitPublishers() { return CommitTable(config::EditedTable::Publishers); }

    // Writes `active` ("Y" or "N") into the Active column of every row of the
    // Telstra table whose connection is not so already (`isActive` of the
    // row's index says), and shows the table in its present colours.
    void SetAllTelstraActive(bool active, const std::function<bool(int row)>& isActive);

    // The rows `sql` selects, column name to text, read through a recordset
    // of their own (a grid's may be open for editing); raises platform::Error.
    QList<QHash<QString, QString>> RowsOf(const QString& sql);
    // A recordset over the system database with the cursor every table uses.
    std::shared_ptr<platform::Recordset> OpenRecordset(const QString& sql, int lockType,
                                                       const QVariantList& params = {});

private:
    struct EditedTableSteps;
    static const EditedTableSteps& Steps(config::EditedTable table);

    std::shared_ptr<platform::Recordset> gRsSetting;

    std::shared_ptr<platform::Recordset> openSetting(const QString& key, int lockType);
    void reopenForEdit(const EditedTableSteps& steps);
    void showTable(config::EditedTable table, TableMode mode);
    void warn(ErrorCode site, const QString& platformText);
    // Before the Outputs table is written: a row whose Port cannot be listened
    // on refuses the commit (the reason is returned and raised), so the grid
    // stays open for the operator to correct it.
    static void refuseUnusablePorts(const platform::Recordset& rs, const QString& table,
                                    QString* refusal);
    // The same for a Route that does not parse: the Outputs and Publishers tables.
    void refuseUnparsableRoutes(const platform::Recordset& rs, const QString& table,
                                QString* refusal) const;

    const QString& workDir_;
    CoreEvents& events_;
    LogLine logLine_;
    ErrorCodes* warnings_ = nullptr;
    routing::AliasBook aliases_;
};
