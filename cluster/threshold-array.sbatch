#!/usr/bin/env bash
# One task of an array job: task K of N thresholds inputs K, K+N, K+2N, ... of
# LIST into OUT, records them in OUT/results-K.tsv and skips what an earlier
# run of the same task already did. Its log holds one line per image (and a
# header and a summary), no per-level progress text.
#
#   sbatch --array=0-$((N - 1)) cluster/threshold-array.sbatch LIST OUT N
#
# PELLWICK_JAR names the jar (cluster/threshold-cluster sets it).
#SBATCH --job-name=pellwick-threshold
#SBATCH --cpus-per-task=1
set -euo pipefail

list=$1
out=$2
tasks=$3
task=${SLURM_ARRAY_TASK_ID:?run this as an array job (sbatch --array)}
exec java -jar "${PELLWICK_JAR:?PELLWICK_JAR must name pellwick.jar}" \
  --list "$list" --shard "$task/$tasks" --out-dir "$out" \
  --results "$out/results-$task.tsv" --resume --threads "${SLURM_CPUS_PER_TASK:-1}"
