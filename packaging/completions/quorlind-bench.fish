# fish completion for quorlind-bench; the option lists follow the tool's --help.

function __quorlind_bench_command
    for word in (commandline -opc)[2..-1]
        switch $word
            case compare report
                echo $word
                return
        end
    end
end

function __quorlind_bench_no_command
    set -l command (__quorlind_bench_command)
    test -z "$command"
end

function __quorlind_bench_in
    set -l command (__quorlind_bench_command)
    test "$command" = "$argv[1]"
end

complete -c quorlind-bench -f
complete -c quorlind-bench -n __quorlind_bench_no_command -a compare -d 'Compare saved JSON results'
complete -c quorlind-bench -n __quorlind_bench_no_command -a report -d 'Render a saved result file'

complete -c quorlind-bench -s h -l help -d 'Print the options and exit'
complete -c quorlind-bench -n __quorlind_bench_no_command -l threads -x -a 'single all both' -d 'Kinds of run'
complete -c quorlind-bench -n __quorlind_bench_no_command -l repeat -x -d 'Run each kind N times'
complete -c quorlind-bench -n __quorlind_bench_no_command -l warmup -x -d 'Warm-up before measuring, seconds'
complete -c quorlind-bench -n __quorlind_bench_no_command -l measure -x -d 'Measured time, seconds'
complete -c quorlind-bench -n __quorlind_bench_no_command -l json -F -d 'Write the results as JSON'
complete -c quorlind-bench -n __quorlind_bench_no_command -l csv -r -F -d 'Write the interval samples as CSV'
complete -c quorlind-bench -n __quorlind_bench_no_command -l html -r -F -d 'Write an HTML report'
complete -c quorlind-bench -n __quorlind_bench_no_command -l markdown -r -F -d 'Write a Markdown summary (- for standard output)'
complete -c quorlind-bench -n __quorlind_bench_no_command -l openmetrics -r -F -d 'Write Prometheus metrics'
complete -c quorlind-bench -n __quorlind_bench_no_command -l dry-run -d 'Print the plan and run nothing'
complete -c quorlind-bench -n __quorlind_bench_no_command -l quiet -d 'No progress output'
complete -c quorlind-bench -n __quorlind_bench_no_command -l version -d 'Print the versions'
complete -c quorlind-bench -n __quorlind_bench_no_command -l system -d 'Describe this machine and run nothing'

complete -c quorlind-bench -n '__quorlind_bench_in compare' -l threshold -x -d 'Smallest change that counts, percent'
complete -c quorlind-bench -n '__quorlind_bench_in compare' -l confidence -x -d 'Confidence of the interval'
complete -c quorlind-bench -n '__quorlind_bench_in compare' -l detect -x -d 'Slowdown the repeats hint sizes the runs for, percent'
complete -c quorlind-bench -n '__quorlind_bench_in compare' -l same-machine -d 'Both files come from one machine'
complete -c quorlind-bench -n '__quorlind_bench_in compare' -l json -r -F -d 'Write the comparison as JSON, - for standard output'
complete -c quorlind-bench -n '__quorlind_bench_in compare' -l html -r -F -d 'Write an HTML report of the comparison'
complete -c quorlind-bench -n '__quorlind_bench_in compare' -l markdown -r -F -d 'Write the verdict table as Markdown'
complete -c quorlind-bench -n '__quorlind_bench_in report' -l html -r -F -d 'Write an HTML report'
complete -c quorlind-bench -n '__quorlind_bench_in report' -l openmetrics -r -F -d 'Write Prometheus metrics'

# Saved results for compare and report: JSON files, and folders to reach them.
function __quorlind_bench_results
    set -l token (commandline -ct)
    string match -r -- '^.*(?:\.json|/)(?:\t.*)?$' (__fish_complete_path $token)
end

complete -c quorlind-bench -n '__quorlind_bench_in compare; or __quorlind_bench_in report' -a '(__quorlind_bench_results)'
