#pragma once

// Registers "ADODB.Connection" and "ADODB.RecordSet" on the Firebird client.
void registerDatabaseAccessComponents();
