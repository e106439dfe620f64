// print_result_document FILE: the file as the reader hands it to every
// consumer, in the version-2 layout, so that a schema check can see it.
#include <iostream>

#include "result/json_writer.h"
#include "result/reader.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: print_result_document FILE\n";
        return 2;
    }
    try {
        std::cout << quorlind::bench::to_json(quorlind::bench::read_result_file(argv[1])).dump(2) << '\n';
    } catch (const quorlind::bench::InvalidResultFile& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}
