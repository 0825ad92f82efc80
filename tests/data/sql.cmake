# dBase files and local SQL.
set(KW_SQL_ENGINE_SOURCES
  ${PROJECT_SOURCE_DIR}/data/dbase/dbftable.cpp
  ${PROJECT_SOURCE_DIR}/data/sql/sqldialect.cpp
  ${PROJECT_SOURCE_DIR}/data/sql/localsql.cpp)
kw_add_test(tst_dbase SOURCES tst_dbase.cpp ${KW_SQL_ENGINE_SOURCES} LIBS Qt6::Core SQLite::SQLite3)
kw_add_test(tst_sql SOURCES tst_sql.cpp tst_sql_fakeparadox.h ${KW_SQL_ENGINE_SOURCES} LIBS Qt6::Core SQLite::SQLite3)
target_include_directories(tst_dbase PRIVATE ${PROJECT_SOURCE_DIR})
target_include_directories(tst_sql PRIVATE ${PROJECT_SOURCE_DIR})
