#pragma once

#include "platform/Connection.h"
#include "platform/Recordset.h"
#include "publish/PublisherConfig.h"

#include <QString>
#include <memory>

class System;

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

    explicit adoQuorlan(System& system);

    platform::Connection gSysConnection;
    std::shared_ptr<platform::Recordset> gRsStartUp;
    std::shared_ptr<platform::Recordset> rsErrorCode;
    std::shared_ptr<platform::Recordset> rsErrorCodes;
    std::shared_ptr<platform::Recordset> rsTelstra;
    std::shared_ptr<platform::Recordset> rsOutputs;
    std::shared_ptr<platform::Recordset> rsPublishers;

    int OpenSysDatabase();
    int CloseSysDatabase();

    QString GetStartUpKey(const QString& key, const QString& defaultValue);
    QString SetStartUpKey(const QString& key, const QString& value);

    void OpenStartUp(int lockType);
    void EditStartUp();
    void CommitStartUp();

    void OpenErrorCode(int errorNumber);
    void OpenErrorCodes(int lockType);
    void OpenTelstra(int lockType);
    void OpenOutputs(int lockType);
    void EditOutputs();
    void EditTelstra();
    bool CommitTelstra();
    void EnableTelstra();
    void DisableTelstra();
    bool CommitOutputs();
    void OpenPublishers(int lockType);
    void EditPublishers();
    bool CommitPublishers();
    // The rows of the Publishers table, in Description order.
    QList<publish::PublisherRow> PublisherRows();

    // A recordset over the system database with the cursor every table uses.
    std::shared_ptr<platform::Recordset> OpenRecordset(const QString& sql, int lockType,
                                                       const QVariantList& params = {});

private:
    std::shared_ptr<platform::Recordset> gRsSetting;

    std::shared_ptr<platform::Recordset> openSetting(const QString& key, int lockType);
    void bindStartUpGrid(long foreColor);
    void setAllTelstraActive(bool active);
    // Before the Outputs table is written: a row whose Port cannot be listened
    // on refuses the commit (the reason goes to the window and raises), so
    // the grid stays open for the operator to correct it.
    void refuseUnusablePorts(const platform::Recordset& rs, const QString& table);

    System& sys_;
};
