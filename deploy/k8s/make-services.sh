#!/usr/bin/env bash
# Writes one Service per pod of the StatefulSet: a load balancer with the
# pod's 100 player ports, selecting that pod alone. Kubernetes lists a
# Service's ports one by one (no ranges), so they are generated.
#   ./make-services.sh [PODS] [FIRST_PORT] [TABLES] > services.yaml
set -euo pipefail
pods=${1:-2}
first=${2:-7800}
tables=${3:-100}
for ((pod = 0; pod < pods; ++pod)); do
    cat <<YAML
---
apiVersion: v1
kind: Service
metadata:
  name: dunvex-tables-$pod
  namespace: dunvex
  annotations:
    # The lobby lists this name with ports $first..$((first + tables - 1)).
    external-dns.alpha.kubernetes.io/hostname: tables-$pod.dunvex.example
spec:
  type: LoadBalancer
  # Keeps the players' addresses, which --max-per-address counts.
  externalTrafficPolicy: Local
  selector:
    statefulset.kubernetes.io/pod-name: dunvex-tables-$pod
  ports:
YAML
    for ((port = first; port < first + tables; ++port)); do
        printf '    - {name: t%d, port: %d, targetPort: %d, protocol: TCP}\n' "$port" "$port" "$port"
    done
done
