#include "stationdb/StationRoutines.h"

#include <string_view>

#include "stationdb/StationSchema.h"

namespace {

#define VANTIX_DEFINER "SECURITY DEFINER SET search_path = pg_catalog, pg_temp "
#define VANTIX_SET_UP_LOCK "8530482758935201859"
static_assert(std::string_view(StationSchema::kSetUpLock) == VANTIX_SET_UP_LOCK);

const char* const kRoutines[] = {
    // The number and its claim go in one statement: a run that does not learn the outcome
    // looks its number up by the run instead of taking another. The login that took it is
    // the session's, which the claim cannot name.
    "CREATE FUNCTION vantix.take_number(series_name text, claim jsonb) RETURNS bigint "
    "LANGUAGE sql " VANTIX_DEFINER "AS $$ "
    "INSERT INTO vantix.serials (series, number, run, station, board, taken_by) "
    "SELECT s.name, nextval(s.numbers), (claim->>'run')::uuid, claim->>'station', "
    "claim->>'board', session_user FROM vantix.series AS s WHERE s.name = series_name "
    "ON CONFLICT (run) DO NOTHING RETURNING number $$",

    "CREATE FUNCTION vantix.run_number(run_id uuid) RETURNS bigint "
    "LANGUAGE sql STABLE " VANTIX_DEFINER "AS $$ "
    "SELECT s.number FROM vantix.serials AS s WHERE s.run = run_id $$",

    "CREATE FUNCTION vantix.store_record(given jsonb) RETURNS boolean "
    "LANGUAGE plpgsql " VANTIX_DEFINER "AS $$ BEGIN "
    "INSERT INTO vantix.runs "
    "(run, station, host, time, command, board, serial, exit_status, record, stored_by) "
    "VALUES ((given->>'run')::uuid, given->>'station', given->>'host', "
    "(given->>'time')::timestamptz, given->>'command', given->>'board', "
    "(given->>'serial')::bigint, (given->>'exit')::integer, given, session_user) "
    "ON CONFLICT (run) DO NOTHING; "
    "RETURN FOUND; END $$",

    // Reading a sequence's position needs rights on the sequence, which only the owner has.
    "CREATE FUNCTION vantix.series_numbers() RETURNS TABLE (name text, first_number bigint, "
    "serial_words smallint, last_number bigint) "
    "LANGUAGE sql STABLE " VANTIX_DEFINER "AS $$ "
    "SELECT s.name, s.first_number, s.serial_words, pg_sequence_last_value(s.numbers) "
    "FROM vantix.series AS s $$",

    // The sequence belongs to the owner, so no login that creates a series can set it back.
    "CREATE FUNCTION vantix.create_series(series_name text, first bigint, words smallint) "
    "RETURNS boolean LANGUAGE plpgsql " VANTIX_DEFINER "AS $$ "
    "DECLARE numbers_name text; BEGIN "
    "PERFORM pg_advisory_xact_lock(" VANTIX_SET_UP_LOCK "); "
    "IF EXISTS (SELECT 1 FROM vantix.series AS s WHERE s.name = series_name) THEN "
    "RETURN false; END IF; "
    "numbers_name := 'vantix.series_' || nextval('vantix.series_ids'); "
    "EXECUTE format('CREATE SEQUENCE %s AS bigint MINVALUE 0 MAXVALUE %s NO CYCLE', "
    "numbers_name, CASE words WHEN 1 THEN 65535 ELSE 4294967295 END); "
    "PERFORM setval(numbers_name::regclass, first, false); "
    "INSERT INTO vantix.series (name, numbers, first_number, serial_words) "
    "VALUES (series_name, numbers_name::regclass, first, words); "
    "RETURN true; END $$",

    // Runs as whoever changes a row: only the tables' owner (or a member of it) passes.
    "CREATE FUNCTION vantix.keep_history() RETURNS trigger "
    "LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$ BEGIN "
    "IF pg_has_role((SELECT c.relowner FROM pg_class AS c WHERE c.oid = TG_RELID), 'USAGE') "
    "THEN RETURN CASE TG_OP WHEN 'DELETE' THEN OLD ELSE NEW END; END IF; "
    "RAISE EXCEPTION 'the rows of %.% are the line''s history: % is refused', "
    "TG_TABLE_SCHEMA, TG_TABLE_NAME, TG_OP USING ERRCODE = 'insufficient_privilege'; "
    "END $$",
    "CREATE TRIGGER keep_history BEFORE UPDATE OR DELETE ON vantix.runs "
    "FOR EACH ROW EXECUTE FUNCTION vantix.keep_history()",
    "CREATE TRIGGER keep_history_whole BEFORE TRUNCATE ON vantix.runs "
    "FOR EACH STATEMENT EXECUTE FUNCTION vantix.keep_history()",
    "CREATE TRIGGER keep_history BEFORE UPDATE OR DELETE ON vantix.serials "
    "FOR EACH ROW EXECUTE FUNCTION vantix.keep_history()",
    "CREATE TRIGGER keep_history_whole BEFORE TRUNCATE ON vantix.serials "
    "FOR EACH STATEMENT EXECUTE FUNCTION vantix.keep_history()",
    "CREATE TRIGGER keep_history BEFORE UPDATE OR DELETE ON vantix.series "
    "FOR EACH ROW EXECUTE FUNCTION vantix.keep_history()",
    "CREATE TRIGGER keep_history_whole BEFORE TRUNCATE ON vantix.series "
    "FOR EACH STATEMENT EXECUTE FUNCTION vantix.keep_history()",
};

#undef VANTIX_DEFINER
#undef VANTIX_SET_UP_LOCK

}  // namespace

std::span<const char* const> StationRoutines() {
    return kRoutines;
}
