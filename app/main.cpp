// The clinic record system. Until its main window exists, the program opens the clinic's record
// sets as the main window will and prints what they hold.
#include <cstdio>

#include "data/clinic_record_sets.h"

namespace {

void PrintPatients(ClinicRecordSets& data) {
    TTable& patients = data.Tablebingren;
    std::printf("%s: %d\n", data.TablebingrenId->DisplayName().c_str(), patients.RecordCount());
    int shown = 0;
    for (patients.First(); !patients.Eof() && shown < 5; patients.Next(), ++shown) {
        std::printf("  %6s  %-8s %s %3s  %s  (%d)\n", data.TablebingrenId->AsString().c_str(),
                    data.TablebingrenXm->AsString().c_str(), data.TablebingrenXb->AsString().c_str(),
                    data.TablebingrenNl->AsString().c_str(),
                    data.TablebingrenLxdh->AsString().c_str(), data.TableBingli.RecordCount());
    }
}

}  // namespace

int main() {
    try {
        ClinicRecordSets data;
        data.Open();
        PrintPatients(data);
        return 0;
    } catch (const Exception& e) {
        std::fprintf(stderr, "Exception %s: %s\n", e.ClassName(), e.Message().c_str());
        return 1;
    }
}
