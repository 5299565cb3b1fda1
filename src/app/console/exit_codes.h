#pragma once

// The join command's exit codes, as its --help and the man page list them.
namespace ExitCode {
enum : int {
    Written = 0,        // every row written
    Failure = 1,        // a failure was reported, also when rows are missing
    Usage = 2,          // bad usage, a table or field that does not exist, or a join
                        // or name beyond the server's limits
    RowsMissing = 3,    // some rows could not be written; the count is in the summary
    NameExists = 4,     // the name exists and --overwrite was not given
    StagingBusy = 5,    // another join holds the staging file
    Interrupted = 130,  // SIGINT or SIGTERM
};
}  // namespace ExitCode
