#include "join/staging_connection_string.h"

#include "db/connection_string_attributes.h"

QString StagingConnectionString(const QString& path) {
    return QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=") +
           attributeValueText(path) + QStringLiteral(";JET OLEDB:Database Password=");
}
