#include "bench_data.h"

#include "odbc.h"

namespace bench {

SourceTables CreateSourceTables(OdbcConnection& login, qint64 rows) {
    const SourceTables tables{
        {QStringLiteral("ACCOUNTS"),
         QStringLiteral("ACCOUNT_ID"),
         {QStringLiteral("ACCOUNT_ID"), QStringLiteral("NAME"), QStringLiteral("BALANCE"),
          QStringLiteral("OPENED_AT"), QStringLiteral("BORN_ON"), QStringLiteral("NOTE"),
          QStringLiteral("VISITS"), QStringLiteral("RATE")}},
        {QStringLiteral("ORDERS"),
         QStringLiteral("ACCOUNT_REF"),
         {QStringLiteral("ORDER_ID"), QStringLiteral("ACCOUNT_REF"), QStringLiteral("ITEM"),
          QStringLiteral("AMOUNT"), QStringLiteral("ORDERED_AT"), QStringLiteral("SHIP_DATE"),
          QStringLiteral("NOTE"), QStringLiteral("QTY")}}};

    login.execute(QStringLiteral(
        R"(CREATE TABLE "ACCOUNTS" ("ACCOUNT_ID" numeric(10), "NAME" varchar(80), )"
        R"("BALANCE" numeric(12,2), "OPENED_AT" timestamp(6), "BORN_ON" date, "NOTE" text, )"
        R"("VISITS" integer, "RATE" double precision))"));
    login.execute(
        QStringLiteral(R"(CREATE TABLE "ORDERS" ("ORDER_ID" bigint, "ACCOUNT_REF" numeric(10), )"
                       R"("ITEM" varchar(120), "AMOUNT" numeric(14,4), "ORDERED_AT" timestamp(6), )"
                       R"("SHIP_DATE" date, "NOTE" text, "QTY" smallint))"));

    // Keys: ACCOUNTS row i has key i, but every 25th repeats its neighbour's
    // and every 50th (offset 3) is NULL. ORDERS row j points at account j,
    // except 20% that point past every account, every 30th (offset 2) that
    // repeats its neighbour's and every 40th (offset 11) that is NULL.
    // Generated on the server: a client loop would take longer than the bench.
    login.execute(QStringLiteral(R"(
INSERT INTO "ACCOUNTS"
SELECT CASE WHEN i % 50 = 3 THEN NULL WHEN i % 25 = 0 THEN i - 1 ELSE i END,
       (ARRAY['Ada O''Brien', 'Björn Sørensen', 'Chloé d''Arc', 'Łukasz Żółw', '東京 商会',
              'Zoë "Q" Ng 🙂'])[1 + i % 6] || ' #' || i,
       CASE WHEN i % 17 = 0 THEN NULL ELSE round(((i * 7919) % 1000000)::numeric / 100 - 5000, 2) END,
       timestamp '2015-01-01' + i * interval '7 minutes 3.123457 seconds',
       CASE WHEN i % 19 = 0 THEN NULL ELSE date '1950-01-01' + ((i * 37) % 20000)::int END,
       CASE WHEN i % 9 = 0 THEN NULL ELSE repeat(md5(i::text), 1 + (i % 4)::int) || ' — it''s ' || i END,
       CASE WHEN i % 23 = 0 THEN NULL ELSE (i * 31) % 1000 END,
       (i % 1000) / 7.0
  FROM generate_series(1::bigint, %1) AS i)")
                      .arg(rows));
    login.execute(QStringLiteral(R"(
INSERT INTO "ORDERS"
SELECT j,
       CASE WHEN j % 40 = 11 THEN NULL WHEN j % 10 >= 8 THEN %1 + j WHEN j % 30 = 2 THEN j - 1 ELSE j END,
       (ARRAY['Quill', 'Ink, blue-black', 'Paper ''A4''', 'Füller', 'Tinte «schwarz»', '墨水'])[1 + j % 6]
         || ' ' || j,
       round(((j * 104729) % 10000000)::numeric / 10000, 4),
       CASE WHEN j % 13 = 0 THEN NULL
            ELSE timestamp '2018-06-01 08:00' + j * interval '1 minute 0.000001 seconds' END,
       date '2019-01-01' + (j % 3000)::int,
       CASE WHEN j % 7 = 0 THEN NULL ELSE 'Delivery note ' || j || ': ' || md5((j * 3)::text) END,
       CASE WHEN j % 29 = 0 THEN NULL ELSE (j % 200)::smallint END
  FROM generate_series(1::bigint, %1) AS j)")
                      .arg(rows));
    // Fresh statistics, so the server's own join is planned as it would be
    // for tables that have been there a while.
    login.execute(QStringLiteral(R"(ANALYZE "ACCOUNTS")"));
    login.execute(QStringLiteral(R"(ANALYZE "ORDERS")"));
    return tables;
}

}  // namespace bench
