#include "records/RunRecord.h"

#include "records/ImageDigests.h"
#include "records/JsonText.h"

namespace {

void OptionalText(JsonObject& json, const char* key, const std::optional<std::string>& value) {
    if (value) {
        json.Text(key, *value);
    } else {
        json.Null(key);
    }
}

// A text that is not UTF-8 is written with U+FFFD for its stray bytes, and its bytes again in
// hex under KEY_hex, so that the record stays JSON and the text can still be recovered.
void OptionalRawText(JsonObject& json, const char* key, const std::optional<std::string>& value) {
    OptionalText(json, key, value);
    if (value && !IsUtf8(*value)) {
        json.Text(std::string(key) + "_hex", HexBytes(*value));
    }
}

void AddFields(JsonObject& json, const RunRecord& record) {
    json.Text("command", record.command);
    OptionalRawText(json, "file", record.file);
    OptionalText(json, "sha256", record.sha256);
    json.Number("warnings", record.warnings);
    OptionalText(json, "cpu", record.cpu);
    json.Raw("regions", RegionsJson(record.regions));
    OptionalRawText(json, "pod", record.pod);
    OptionalRawText(json, "board", record.board);
    if (record.serialAt) {
        // None yet in a started entry written before its number is taken.
        record.serial ? json.Number("serial", *record.serial) : json.Null("serial");
        json.Text("serial_at", *record.serialAt);
    }
    if (record.result) {
        json.Number("result", *record.result);
    } else {
        json.Null("result");
    }
    json.Text("status", record.status);
    json.Decimal("seconds", record.seconds, 3);
    json.Number("exit", record.exitCode);
    if (!record.info.empty()) {
        std::string lines = "[";
        for (const std::string& line : record.info) {
            if (lines.size() > 1) {
                lines += ',';
            }
            lines += JsonQuoted(line);
        }
        json.Raw("info", lines + ']');
    }
}

}  // namespace

RunRecord::Region RegionRecord(const SFileImage& image, const RegionRow& row) {
    RunRecord::Region region;
    region.name = row.name;
    region.start = row.start;
    region.end = row.end;
    region.words = row.span;
    region.crc32 = RegionCrc32(image, row);
    return region;
}

std::string RegionsJson(const std::vector<RunRecord::Region>& regions) {
    std::string array = "[";
    for (const RunRecord::Region& region : regions) {
        if (array.size() > 1) {
            array += ',';
        }
        JsonObject json;
        json.Text("name", region.name)
            .Number("start", region.start)
            .Number("end", region.end)
            .Number("words", region.words);
        if (region.crc32) {
            json.Text("crc32", Crc32Text(*region.crc32));
        } else {
            json.Null("crc32");
        }
        if (region.pages) {
            JsonObject pages;
            pages.Number("compared", region.pages->compared)
                .Number("differed", region.pages->differed)
                .Number("written", region.pages->written);
            json.Raw("pages", pages.Close());
        }
        if (region.blankChecked) {
            if (region.blank) {
                json.Boolean("blank", *region.blank);
            } else {
                json.Null("blank");
            }
            if (region.differsFirst) {
                std::string range(1, '[');
                range += std::to_string(*region.differsFirst);
                range += ',';
                range += std::to_string(*region.differsLast);
                range += ']';
                json.Raw("differs", range);
            } else {
                json.Null("differs");
            }
        }
        array += json.Close();
    }
    return array + ']';
}

std::string RunRecordJson(const RunRecord& record) {
    JsonObject json;
    AddFields(json, record);
    OptionalText(json, "release", record.release);
    return json.Close();
}

std::string RunLogJson(const RunRecord& record, const std::string& utcTime,
                       const std::string& host, const std::string& run) {
    JsonObject json;
    json.Text("time", utcTime).Text("host", host);
    AddFields(json, record);
    if (!run.empty()) {
        json.Text("run", run);
    }
    OptionalText(json, "release", record.release);
    return json.Close();
}
