# dBase files and local SQL.
kw_add_test(tst_dbase SOURCES tst_dbase.cpp LIBS Kitwarden::engine)
kw_add_test(tst_sql SOURCES tst_sql.cpp tst_sql_fakeparadox.h LIBS Kitwarden::shop Kitwarden::testsupport)
kw_add_test(tst_sql_paradox SOURCES tst_sql_paradox.cpp LIBS Kitwarden::shop)
